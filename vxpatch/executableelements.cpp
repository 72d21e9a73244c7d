#include "vxpatch/executableelements.h"

#include "vxpatch/detection.h"
#include "vxpatch/imagebytes.h"

namespace vxpatch {

namespace {

constexpr size_t kMinUniversalSize = 4096;
constexpr uint32_t kMaxSlices = 8;
constexpr size_t kSliceEntrySize = 20;

uint32_t ReadBE32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool AddIfExecutable(const uint8_t *data, size_t offset, size_t length,
                     GrowableArray<ExecutableElement> *elements)
{
    ExecutableType type;
    size_t imageLength;
    if (IdentifyExecutable(data + offset, length, &type, &imageLength) != StatusOk)
        return true;
    return elements->Push({offset, imageLength, type});
}

bool IsUniversal(const uint8_t *data, size_t length)
{
    if (length < kMinUniversalSize || ReadBE32(data) != 0xCAFEBABE)
        return false;
    const uint32_t count = ReadBE32(data + 4);
    return count >= 1 && count <= kMaxSlices;
}

bool Overlaps(const GrowableArray<ExecutableElement> &accepted, size_t offset, size_t size)
{
    for (const ExecutableElement &slice : accepted) {
        if (offset < slice.offset + slice.length && slice.offset < offset + size)
            return true;
    }
    return false;
}

} // namespace

bool FindExecutableElements(const uint8_t *data, size_t length, GrowableArray<ExecutableElement> *elements)
{
    elements->Truncate(0);
    if (!IsUniversal(data, length))
        return AddIfExecutable(data, 0, length, elements);
    // Slices are kept whole while checking overlaps: an image shorter than its slice still
    // owns the slice's bytes.
    GrowableArray<ExecutableElement> slices;
    const uint32_t count = ReadBE32(data + 4);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *entry = data + 8 + i * kSliceEntrySize;
        const uint32_t offset = ReadBE32(entry + 8);
        const uint32_t size = ReadBE32(entry + 12);
        if (size == 0 || !FitsIn(offset, size, length) || Overlaps(slices, offset, size))
            continue;
        const size_t before = elements->Size();
        if (!AddIfExecutable(data, offset, size, elements))
            return false;
        if (elements->Size() > before && !slices.Push({offset, size, EXE_UNKNOWN}))
            return false;
    }
    return true;
}

} // namespace vxpatch
