// Reader of 32-bit x86 PE images (PE32); refuses PE32+ so that detection moves on.
#pragma once

#include "vxpatch/disassembler_win32.h"

namespace vxpatch {

class DisassemblerWin32X86 : public DisassemblerWin32 {
public:
    DisassemblerWin32X86(const uint8_t *start, size_t length) : DisassemblerWin32(start, length, false) {}
    ExecutableType Type() const override { return EXE_WIN_32_X86; }
};

} // namespace vxpatch
