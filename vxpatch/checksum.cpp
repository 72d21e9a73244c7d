#include "vxpatch/streams.h"

#include <lzma.h>

namespace vxpatch {

uint32_t ComputeChecksum(const void *data, size_t length)
{
    // liblzma's CRC-32 is table-driven and tuned; the engine checksum is its complement.
    return ~lzma_crc32(static_cast<const uint8_t *>(data), length, 0);
}

} // namespace vxpatch
