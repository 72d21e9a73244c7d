// Relocation tables that assembly regenerates from the absolute addresses a program wrote,
// so that encoded programs need not carry them.
#pragma once

#include "vxpatch/growablearray.h"
#include "vxpatch/streams.h"

#include <cstdint>

namespace vxpatch {

// PE base relocation entry types.
constexpr uint16_t kPeRelocHighLow = 3; // 32-bit address
constexpr uint16_t kPeRelocDir64 = 10;  // 64-bit address
// ELF relocation types (symbol index 0).
constexpr uint32_t kElfRelocRelative386 = 8;
constexpr uint32_t kElfRelocRelativeArm = 23;

// Sorts `locations` and writes one block per 4 KiB page holding locations. False when a
// write fails or a page holds more than 4096 locations (possible only when they repeat).
bool WritePeRelocationTable(GrowableArray<uint32_t> *locations, uint16_t entryType,
                            ByteSink *output);

// Sorts `locations` and writes one 8-byte entry (location, type) per location.
bool WriteElfRelocationTable(GrowableArray<uint32_t> *locations, uint32_t type,
                             ByteSink *output);

} // namespace vxpatch
