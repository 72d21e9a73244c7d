// The kinds of executable image the engine can disassemble. The numbers are stored in
// ensemble patches and containers, so they never change; the names are what the engine
// prints for them.
#pragma once

#include <cstdint>

namespace vxpatch {

enum ExecutableType : uint32_t {
    EXE_UNKNOWN = 0,
    EXE_WIN_32_X86 = 1,
    EXE_ELF_32_X86 = 2,
    EXE_ELF_32_ARM = 3,
    EXE_WIN_32_X64 = 4,
    EXE_ELF_64_X64 = 5,
    EXE_MACHO_X86 = 6,
    EXE_MACHO_X64 = 7,
};

// "WIN_32_X86" and so on; "UNKNOWN" for 0 and for every value outside the enumeration.
const char *ExecutableTypeName(uint32_t type);

} // namespace vxpatch
