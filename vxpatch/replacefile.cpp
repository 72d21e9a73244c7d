#include "vxpatch/streams.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vxpatch {

namespace {

// A name beside `path` that no other call of this process uses; O_EXCL guards against
// other processes.
std::string temporaryNameFor(const oschar *path)
{
    static std::atomic<unsigned> counter{0};
    return std::string(path) + ".vxpart-" + std::to_string(::getpid()) + "-"
        + std::to_string(counter++);
}

bool writeAll(int descriptor, const uint8_t *data, size_t length)
{
    while (length != 0) {
        const ssize_t written = ::write(descriptor, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

bool ReplaceWholeFile(const oschar *path, const void *data, size_t length)
{
    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 16 && descriptor < 0; ++attempt) {
        temporary = temporaryNameFor(path);
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            return false;
    }
    if (descriptor < 0)
        return false;
    bool ok = writeAll(descriptor, static_cast<const uint8_t *>(data), length);
    ok = ::close(descriptor) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), path) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

} // namespace vxpatch
