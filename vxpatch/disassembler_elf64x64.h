// Reader of x86-64 ELF images. Their relocations carry addends (RELA), which the engine
// does not regenerate, so the program holds relative references only: branches and
// RIP-relative operands found by scanning the code.
#pragma once

#include "vxpatch/disassembler_elf.h"

namespace vxpatch {

class DisassemblerElf64X64 : public DisassemblerElf64 {
public:
    DisassemblerElf64X64(const uint8_t *start, size_t length) : DisassemblerElf64(start, length) {}
    ExecutableType Type() const override { return EXE_ELF_64_X64; }

protected:
    uint16_t MachineType() const override { return 62; }
    bool RelocationToRva(uint64_t, uint64_t, uint32_t *) const override { return false; }
    bool EmitRelocationSection(const Section &section, ParsedProgram *program) override
    {
        return EmitFileBytes(program, section.offset, section.offset + section.size);
    }
    bool ScanSectionForRel32(const Section &section) override { return ScanX86Section(section, true); }
};

} // namespace vxpatch
