#include "vxpatch/rarereferences.h"

namespace vxpatch {

namespace {

constexpr uint16_t kArmTypeMask = 0xF000;
constexpr uint16_t kArmBranchOp = 0x3000;   // ARM-mode B or BL; low byte = top instruction byte
constexpr uint16_t kThumb2BranchOp = 0x4000; // Thumb-2 BL, BLX and B.W, and (0x5000) B<cond>.W
constexpr uint8_t kArmBranchLinkAlways = 0xEB;

// Calls the visitor with every relative reference and the RVA its bytes start at, tracking
// the RVA as assembly does: origins set it, everything emitted advances it.
template <typename Visitor>
void ForEachRelative(ParsedProgram *program, Visitor visit)
{
    uint32_t rva = 0;
    for (Instruction &insn : program->Instructions()) {
        switch (insn.kind) {
        case InsnOrigin:
            rva = insn.value;
            break;
        case InsnByte:
        case InsnBytes:
            rva += insn.value;
            break;
        case InsnAbs32:
            rva += 4;
            break;
        case InsnRel32:
            visit(insn, rva);
            rva += 4;
            break;
        case InsnRel32Arm:
            visit(insn, rva);
            rva += insn.value;
            break;
        default:
            break;
        }
    }
}

// Only calls at word boundaries and Thumb-2 long branches: the ARM scan also reads Thumb
// 16-bit branches and conditional ARM branches out of any halfword, and those that are real
// reach a few hundred bytes, which their own bytes say as cheaply as a label would.
bool WorthALabel(const Instruction &insn, uint32_t rva)
{
    if (insn.kind == InsnRel32)
        return true;
    const uint16_t type = insn.op & kArmTypeMask;
    if (type == kArmBranchOp)
        return (rva & 3) == 0 && (insn.op & 0xFF) == kArmBranchLinkAlways;
    return type >= kThumb2BranchOp;
}

size_t CountRel32(const ParsedProgram &program)
{
    size_t count = 0;
    for (const Instruction &insn : program.Instructions())
        count += insn.kind == InsnRel32;
    return count;
}

} // namespace

bool DropRareReferences(ParsedProgram *program, int32_t limit, GrowableArray<uint8_t> *standIns)
{
    const auto rare = [limit](const Label &label) { return label.count <= limit; };
    // Reserved in full up front: instructions point into it, so it must never move.
    standIns->Clear();
    if (!standIns->Reserve(CountRel32(*program) * 4))
        return false;
    for (Label *label : program->Rel32Labels())
        label->count = 0;
    ForEachRelative(program, [](Instruction &insn, uint32_t rva) {
        insn.label->count += WorthALabel(insn, rva);
    });
    bool ok = true;
    ForEachRelative(program, [&](Instruction &insn, uint32_t rva) {
        if (!rare(*insn.label) && WorthALabel(insn, rva))
            return;
        if (insn.kind == InsnRel32) {
            const uint32_t displacement = insn.label->rva - (rva + 4);
            const uint8_t bytes[4] = {static_cast<uint8_t>(displacement),
                                      static_cast<uint8_t>(displacement >> 8),
                                      static_cast<uint8_t>(displacement >> 16),
                                      static_cast<uint8_t>(displacement >> 24)};
            standIns->Append(bytes, 4);
            insn.bytes = standIns->end() - 4;
            insn.value = 4;
        }
        ok = ok && insn.value != 0;
        insn.kind = InsnBytes;
        insn.label = nullptr;
        insn.op = 0;
    });
    program->Rel32Labels().RemoveIf(rare);
    return ok;
}

} // namespace vxpatch
