// Rebuilding ARM and Thumb branch instructions from their compressed opcode and the distance
// to their target. The compressed opcode keeps every bit of the instruction except the
// offset; its top four bits are the branch type + 1.
#pragma once

#include <cstdint>

namespace vxpatch {

constexpr uint16_t kArmOpFirst = 0x1000;
constexpr uint16_t kArmOpLast = 0x5FFF;

// Writes the instruction for `op` branching `distance` bytes (target minus the RVA of the
// instruction) into `out` as it lies in the image; returns its size (2 or 4), or 0 when
// `op` is no ARM opcode.
uint32_t RebuildArmBranch(uint16_t op, uint32_t distance, uint8_t out[4]);

} // namespace vxpatch
