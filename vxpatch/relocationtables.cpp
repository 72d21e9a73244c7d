#include "vxpatch/relocationtables.h"

#include <algorithm>

namespace vxpatch {

namespace {

constexpr uint32_t kPageMask = 0xFFFFF000;
constexpr size_t kMaxEntriesPerPage = 4096;

bool Write16(ByteSink *output, uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return output->WriteBytes(bytes, 2);
}

bool Write32(ByteSink *output, uint32_t value)
{
    return Write16(output, static_cast<uint16_t>(value)) &&
           Write16(output, static_cast<uint16_t>(value >> 16));
}

bool WritePeBlock(const uint32_t *locations, size_t count, uint16_t entryType, ByteSink *output)
{
    if (count > kMaxEntriesPerPage)
        return false;
    const size_t padded = count + (count & 1);
    bool ok = Write32(output, locations[0] & kPageMask) &&
              Write32(output, static_cast<uint32_t>(8 + 2 * padded));
    for (size_t i = 0; ok && i < count; ++i)
        ok = Write16(output, static_cast<uint16_t>((entryType << 12) | (locations[i] & 0xFFF)));
    return ok && (padded == count || Write16(output, 0));
}

} // namespace

bool WritePeRelocationTable(GrowableArray<uint32_t> *locations, uint16_t entryType,
                            ByteSink *output)
{
    std::sort(locations->begin(), locations->end());
    const GrowableArray<uint32_t> &sorted = *locations;
    const uint32_t *block = sorted.begin();
    while (block != sorted.end()) {
        const uint32_t page = *block & kPageMask;
        const uint32_t *next = std::find_if(
            block, sorted.end(), [page](uint32_t rva) { return (rva & kPageMask) != page; });
        if (!WritePeBlock(block, static_cast<size_t>(next - block), entryType, output))
            return false;
        block = next;
    }
    return true;
}

bool WriteElfRelocationTable(GrowableArray<uint32_t> *locations, uint32_t type, ByteSink *output)
{
    std::sort(locations->begin(), locations->end());
    for (uint32_t location : *locations) {
        if (!Write32(output, location) || !Write32(output, type))
            return false;
    }
    return true;
}

} // namespace vxpatch
