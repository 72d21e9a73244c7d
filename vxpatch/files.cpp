#include "vxpatch/streams.h"

#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vxpatch {

namespace {

int adviceFor(int accessHint)
{
    switch (accessHint) {
    case 1:
        return MADV_SEQUENTIAL;
    case 2:
        return MADV_RANDOM;
    default:
        return MADV_NORMAL;
    }
}

} // namespace

MappedFile::~MappedFile()
{
    Close();
}

bool MappedFile::Open(const oschar *path, size_t limit, int accessHint)
{
    if (IsValid())
        return false;
    const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        ::close(descriptor);
        return false;
    }
    const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
    const size_t length =
        limit != 0 && limit < fileSize ? limit : static_cast<size_t>(fileSize);
    void *view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, descriptor, 0);
    if (view == MAP_FAILED) {
        ::close(descriptor);
        return false;
    }
    ::madvise(view, length, adviceFor(accessHint));
    m_FileSize = fileSize;
    m_ViewLength = length;
    m_Descriptor = descriptor;
    m_View = static_cast<const uint8_t *>(view);
    return true;
}

void MappedFile::Close()
{
    if (m_View != nullptr)
        ::munmap(const_cast<uint8_t *>(m_View), m_ViewLength);
    if (m_Descriptor >= 0)
        ::close(m_Descriptor);
    m_FileSize = 0;
    m_ViewLength = 0;
    m_Descriptor = -1;
    m_View = nullptr;
}

void MappedFile::DropResidentPages() const
{
    if (m_View != nullptr)
        ::madvise(const_cast<uint8_t *>(m_View), m_ViewLength, MADV_DONTNEED);
}

uint8_t MappedFile::At(size_t index) const
{
    if (m_View == nullptr)
        throw std::invalid_argument("No view mapped");
    // Checked against the mapped bytes, not the file size: a limited view ends before the file.
    if (index >= m_ViewLength)
        throw std::out_of_range("View is not large enough");
    return m_View[index];
}

size_t WriteWholeFile(const oschar *path, const void *data, size_t length)
{
    std::FILE *file = std::fopen(path, "wb");
    if (file == nullptr)
        return kWriteFailed;
    size_t written = length != 0 ? std::fwrite(data, 1, length, file) : 0;
    // Buffered bytes are only known to be on disk once the close succeeded.
    if (std::fclose(file) != 0)
        written = kWriteFailed;
    return written;
}

} // namespace vxpatch
