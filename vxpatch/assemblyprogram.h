// A disassembled executable image: a flat list of instructions in which every 32-bit
// address or displacement the image holds is a reference to a label instead of bytes.
// Programs of two versions of an executable differ far less than their bytes do, which is
// what keeps patches small. Disassemblers fill a program through the Emit operations and
// the label lookups; the encoder reads it. Nothing here throws: every emitter returns false
// when memory runs out and the program stays usable for destruction.
//
// Literal bytes emitted one at a time are kept as runs in one byte buffer rather than as an
// instruction each: an image is mostly literal bytes, and a run costs one byte per byte.
#pragma once

#include "vxpatch/executabletype.h"
#include "vxpatch/growablearray.h"
#include "vxpatch/labelmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace vxpatch {

// The diagnostics name this the "Insn OP kind".
enum InstructionKind : uint8_t {
    InsnOrigin = 0,       // the following bytes start at `value` (an RVA)
    InsnPeRelocs = 1,     // a PE base relocation table is generated here
    InsnElfRelocs = 2,    // an ELF relocation table (x86) is generated here
    InsnByte = 3,         // a run of `value` literal bytes held by the program
    InsnRel32 = 4,        // 4-byte displacement to `label`, relative to the end of the field
    InsnAbs32 = 5,        // 4-byte absolute address of `label`
    InsnRel32Arm = 6,     // ARM or Thumb branch to `label`: `op`, `bytes`, `value` = size
    InsnElfArmRelocs = 7, // an ELF relocation table (ARM) is generated here
    InsnBytes = 8,        // `value` literal bytes at `bytes`, in the image
};

struct Instruction {
    InstructionKind kind;
    uint16_t op;                    // compressed ARM opcode, 0x1000 to 0x5FFF
    uint32_t value;                 // RVA, run length, byte count or instruction size
    Label *label;                   // target of a reference
    const uint8_t *bytes;           // image bytes of InsnBytes and InsnRel32Arm
};

class ParsedProgram {
public:
    explicit ParsedProgram(ExecutableType kind);
    ParsedProgram(const ParsedProgram &) = delete;
    ParsedProgram &operator=(const ParsedProgram &) = delete;

    ExecutableType Kind() const { return m_Kind; }
    uint64_t ImageBase() const { return m_ImageBase; }
    void SetImageBase(uint64_t imageBase) { m_ImageBase = imageBase; }

    bool EmitOrigin(uint32_t rva);
    bool EmitByte(uint8_t value);
    // The bytes are not copied: they must outlive the program (they are the image).
    bool EmitBytes(const uint8_t *bytes, size_t count);
    // A reference without a label (a failed lookup) is logged and refused, as is an ARM
    // branch whose opcode lies outside 0x1000 to 0x5FFF.
    bool EmitRel32(Label *label);
    bool EmitAbs32(Label *label);
    bool EmitRel32Arm(uint16_t op, Label *label, const uint8_t *bytes, uint16_t size);
    bool EmitPeRelocs();
    bool EmitElfRelocs();
    bool EmitElfArmRelocs();

    // The label for `rva`, made when absent, with one more reference counted; null when out
    // of memory.
    Label *Abs32LabelAt(uint32_t rva);
    Label *Rel32LabelAt(uint32_t rva);

    LabelMap &Abs32Labels() { return m_Abs32Labels; }
    LabelMap &Rel32Labels() { return m_Rel32Labels; }
    const LabelMap &Abs32Labels() const { return m_Abs32Labels; }
    const LabelMap &Rel32Labels() const { return m_Rel32Labels; }

    GrowableArray<Instruction> &Instructions() { return m_Instructions; }
    const GrowableArray<Instruction> &Instructions() const { return m_Instructions; }
    // The bytes of all InsnByte runs, in instruction order.
    const GrowableArray<uint8_t> &LiteralBytes() const { return m_LiteralBytes; }
    // Hands the InsnByte bytes over to an encoder that reuses their buffer; the program's
    // runs then have no bytes, and the program serves only to be destroyed.
    GrowableArray<uint8_t> ReleaseLiteralBytes() { return std::move(m_LiteralBytes); }

private:
    bool Append(InstructionKind kind, uint32_t value = 0, Label *label = nullptr,
                const uint8_t *bytes = nullptr, uint16_t op = 0);
    bool EmitReference(InstructionKind kind, Label *label, uint32_t size = 0,
                       const uint8_t *bytes = nullptr, uint16_t op = 0);

    ExecutableType m_Kind;
    uint64_t m_ImageBase = 0;
    GrowableArray<Instruction> m_Instructions;
    GrowableArray<uint8_t> m_LiteralBytes;
    LabelMap m_Abs32Labels;
    LabelMap m_Rel32Labels;
};

} // namespace vxpatch
