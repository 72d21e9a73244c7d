#include "vxpatch/blockmemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace vxpatch {

namespace {

bool isMapped(size_t size)
{
    return size >= kMappedBlockSize;
}

size_t pagesFor(size_t size)
{
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

void *mapBlock(size_t size)
{
    if (size > SIZE_MAX / 2)
        return nullptr;
    void *block = ::mmap(nullptr, pagesFor(size), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void *remapBlock(void *block, size_t size, size_t used, size_t newSize)
{
#ifdef __linux__
    if (newSize > SIZE_MAX / 2)
        return nullptr;
    void *moved = ::mremap(block, pagesFor(size), pagesFor(newSize), MREMAP_MAYMOVE);
    return moved == MAP_FAILED ? nullptr : moved;
#else
    void *moved = mapBlock(newSize);
    if (moved != nullptr) {
        std::memcpy(moved, block, std::min(used, newSize));
        ::munmap(block, pagesFor(size));
    }
    return moved;
#endif
}

// Between the heap and a mapping the kept bytes are copied.
void *moveBlock(void *block, size_t size, size_t used, size_t newSize)
{
    void *moved = isMapped(newSize) ? mapBlock(newSize) : std::malloc(newSize);
    if (moved == nullptr)
        return nullptr;
    if (block != nullptr)
        std::memcpy(moved, block, std::min(used, newSize));
    FreeBlock(block, size);
    return moved;
}

struct alignas(std::max_align_t) SizeHeader {
    size_t size;
};

} // namespace

void *ResizeBlock(void *block, size_t size, size_t used, size_t newSize)
{
    if (block == nullptr)
        size = used = 0;
    if (newSize == 0)
        newSize = 1;
    if (!isMapped(newSize) && !isMapped(size))
        return std::realloc(block, newSize);
    if (block != nullptr && isMapped(newSize) && isMapped(size))
        return remapBlock(block, size, used, newSize);
    return moveBlock(block, size, used, newSize);
}

void FreeBlock(void *block, size_t size)
{
    if (block == nullptr)
        return;
    if (isMapped(size))
        ::munmap(block, pagesFor(size));
    else
        std::free(block);
}

void *AllocateSized(size_t size)
{
    if (size > SIZE_MAX / 2)
        return nullptr;
    const size_t total = size + sizeof(SizeHeader);
    auto *header = static_cast<SizeHeader *>(ResizeBlock(nullptr, 0, 0, total));
    if (header == nullptr)
        return nullptr;
    header->size = total;
    return header + 1;
}

void FreeSized(void *block)
{
    if (block == nullptr)
        return;
    SizeHeader *header = static_cast<SizeHeader *>(block) - 1;
    FreeBlock(header, header->size);
}

} // namespace vxpatch
