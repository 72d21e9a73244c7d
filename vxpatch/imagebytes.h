// Little-endian reads out of an executable image and the range check that guards them.
// Every header field of the formats the disassemblers read is little-endian, and every
// offset in those headers is untrusted, so each read is preceded by a FitsIn test written
// without overflow.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxpatch {

inline uint16_t ReadLE16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLE32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t ReadLE64(const uint8_t *p)
{
    return static_cast<uint64_t>(ReadLE32(p)) | (static_cast<uint64_t>(ReadLE32(p + 4)) << 32);
}

// Whether [offset, offset + size) lies within `length` bytes.
inline bool FitsIn(uint64_t offset, uint64_t size, uint64_t length)
{
    return offset <= length && size <= length - offset;
}

} // namespace vxpatch
