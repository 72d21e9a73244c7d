// Reader of x86-64 PE images (PE32+); refuses PE32 so that detection moves on.
#pragma once

#include "vxpatch/disassembler_win32.h"

namespace vxpatch {

class DisassemblerWin32X64 : public DisassemblerWin32 {
public:
    DisassemblerWin32X64(const uint8_t *start, size_t length) : DisassemblerWin32(start, length, true) {}
    ExecutableType Type() const override { return EXE_WIN_32_X64; }
};

} // namespace vxpatch
