// Reader of 32-bit x86 ELF images. Absolute references are the image's R_386_RELATIVE
// entries (symbol 0, type 8); when the relocation section starts with exactly those, it is
// regenerated on assembly instead of being stored.
#pragma once

#include "vxpatch/disassembler_elf.h"

namespace vxpatch {

class DisassemblerElf32X86 : public DisassemblerElf32 {
public:
    DisassemblerElf32X86(const uint8_t *start, size_t length) : DisassemblerElf32(start, length) {}
    ExecutableType Type() const override { return EXE_ELF_32_X86; }

protected:
    uint16_t MachineType() const override { return 3; }
    bool RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const override;
    bool EmitRelocationSection(const Section &section, ParsedProgram *program) override;
    bool ScanSectionForRel32(const Section &section) override { return ScanX86Section(section, false); }
};

} // namespace vxpatch
