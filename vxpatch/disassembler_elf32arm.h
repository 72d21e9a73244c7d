// Reader of 32-bit ARM ELF images, where ARM and Thumb code are mixed. Absolute references
// are the R_ARM_RELATIVE entries (symbol 0, type 23). Branches are found by a scan that
// guesses the instruction set as it goes; each found branch is kept as a compressed opcode
// (the instruction without its offset) and a label, and rebuilt on assembly.
#pragma once

#include "vxpatch/disassembler_elf.h"

namespace vxpatch {

// One ARM or Thumb branch decoded from its bytes: the compressed opcode, the target
// relative to the branch and the bytes it covers. Types: 0 Thumb conditional (16-bit),
// 1 Thumb unconditional (16-bit), 2 ARM, 3 Thumb-2 BL/BLX/B.W, 4 Thumb-2 conditional.
class TypedRVAARM {
public:
    TypedRVAARM(int type, uint32_t rva) : m_Type(type), m_Rva(rva) {}
    // Reads the branch at `bytes` (its first byte in the image); false for an unknown type.
    bool ComputeTarget(const uint8_t *bytes);
    uint16_t OperandSize() const { return m_Type <= 1 ? 2 : 4; }
    uint32_t RelativeTarget() const { return m_RelativeTarget; }
    uint16_t CompressedOpcode() const { return m_Opcode; }

private:
    int m_Type;
    uint32_t m_Rva;
    uint32_t m_RelativeTarget = 0;
    uint16_t m_Opcode = 0;
};

class DisassemblerElf32ARM : public DisassemblerElf32 {
public:
    DisassemblerElf32ARM(const uint8_t *start, size_t length) : DisassemblerElf32(start, length) {}
    ExecutableType Type() const override { return EXE_ELF_32_ARM; }

protected:
    uint16_t MachineType() const override { return 40; }
    bool RelocationToRva(uint64_t offset, uint64_t info, uint32_t *rva) const override;
    bool EmitRelocationSection(const Section &section, ParsedProgram *program) override;
    bool ScanSectionForRel32(const Section &section) override;
    bool EmitRel32Reference(const Rel32Candidate &rel, uint32_t target, ParsedProgram *program) override;
    uint16_t Rel32Size(const Rel32Candidate &rel) const override;

private:
    // The branch the scan found at `rel`, decoded again from the image.
    TypedRVAARM BranchAt(const Rel32Candidate &rel) const;
};

} // namespace vxpatch
