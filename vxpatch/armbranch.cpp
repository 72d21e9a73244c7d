#include "vxpatch/armbranch.h"

namespace vxpatch {

namespace {

void Store16(uint8_t *out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void Store32(uint8_t *out, uint32_t value)
{
    Store16(out, value);
    Store16(out + 2, value >> 16);
}

// Thumb-2 instructions lie in the image as two halfwords, the high one first.
void StoreHalvesSwapped(uint8_t *out, uint32_t value)
{
    Store16(out, value >> 16);
    Store16(out + 2, value);
}

uint32_t Bit(uint32_t value, int from, int to)
{
    return ((value >> from) & 1) << to;
}

// Thumb-2 BL, BLX and B.W: the offset is spread over S, J1, J2 and two immediates.
uint32_t ThumbLongBranch(uint32_t op, uint32_t distance)
{
    const uint32_t e = distance - ((op >> 8) & 0xF);
    return ((op >> 3) << 27) | Bit(op, 2, 15) | Bit(op, 1, 14) | Bit(op, 0, 12) |
           ((e >> 1) & 0x7FF) | ((e << 4) & 0x3FF0000) | ((e & 0x1000000) << 2) |
           ((((e >> 24) ^ 1 ^ (e >> 22)) & 1) << 11) | ((((e >> 24) ^ 1 ^ (e >> 23)) & 1) << 13);
}

// Thumb-2 conditional B.W: J1 and J2 sit at offset bits 19 and 18, unlike the long branch.
uint32_t ThumbConditionalBranch(uint32_t op, uint32_t distance)
{
    const uint32_t c = distance + 0x1FFFFC;
    return ((c << 6) & 0x4000000) | ((op & 0xF) << 22) | ((c >> 7) & 0x800) |
           ((c >> 6) & 0x2000) | ((c >> 1) & 0x7FF) | ((c << 4) & 0x3F0000) | 0xF0008000;
}

} // namespace

uint32_t RebuildArmBranch(uint16_t op, uint32_t distance, uint8_t out[4])
{
    const uint32_t o = op;
    switch (op >> 12) {
    case 1: // Thumb conditional branch
        Store16(out, ((o << 8) & 0xFFFFF) | (((distance + 508) >> 1) & 0xFF));
        return 2;
    case 2: // Thumb branch
        Store16(out, (((distance + 0x1FFFFC) >> 1) & 0x7FF) | ((o & 0xFFF) << 11));
        return 2;
    case 3: // ARM branch
        Store32(out, (o << 24) | (((distance + 0x3FFFFF8) >> 2) & 0xFFFFFF));
        return 4;
    case 4:
        StoreHalvesSwapped(out, ThumbLongBranch(o, distance));
        return 4;
    case 5:
        StoreHalvesSwapped(out, ThumbConditionalBranch(o, distance));
        return 4;
    default:
        return 0;
    }
}

} // namespace vxpatch
