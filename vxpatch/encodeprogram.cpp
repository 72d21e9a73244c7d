#include "vxpatch/encodedprogram.h"

#include "vxlog/log.h"

namespace vxpatch {

namespace {

constexpr uint32_t kNoAddress = 0xFFFFFFFF;

// Entry `index` of the table holds the label's address. Entries no label claims repeat the
// entry before them, so they cost nothing once delta-coded.
bool BuildAddressTable(const LabelMap &labels, GrowableArray<uint32_t> *table)
{
    for (const Label *label : labels) {
        if (label->index < 0)
            return false;
        const size_t index = static_cast<size_t>(label->index);
        if (!table->GrowTo(index + 1, kNoAddress))
            return false;
        (*table)[index] = label->rva;
    }
    uint32_t previous = 0;
    for (uint32_t &entry : *table) {
        if (entry == kNoAddress)
            entry = previous;
        previous = entry;
    }
    return true;
}

class Encoder {
public:
    explicit Encoder(EncodedProgram *out) : m_Out(out) {}

    bool Translate(const ParsedProgram &program, const Instruction &insn, const uint8_t **literal)
    {
        switch (insn.kind) {
        case InsnOrigin:
            return m_Out->ops.Push(OpOrigin) && m_Out->origins.Push(insn.value);
        case InsnPeRelocs:
            return m_Out->ops.Push(program.Kind() == EXE_WIN_32_X86 ? OpPeRelocs : OpPe64Relocs);
        case InsnElfRelocs:
            return m_Out->ops.Push(OpElfRelocs);
        case InsnElfArmRelocs:
            return m_Out->ops.Push(OpElfArmRelocs);
        case InsnByte:
            *literal += insn.value;
            return Literal(*literal - insn.value, insn.value);
        case InsnBytes:
            return Literal(insn.bytes, insn.value);
        case InsnRel32:
            return Reference(OpRel32, insn.label, &m_Out->rel32Ix);
        case InsnAbs32:
            return Reference(OpAbs32, insn.label, &m_Out->abs32Ix);
        case InsnRel32Arm:
            return Reference(insn.op, insn.label, &m_Out->rel32Ix);
        }
        vxlog::Log("REACHED UNREACHABLE", vxlog::LogLevel_ERROR);
        vxlog::Log("Unknown Insn OP kind", vxlog::LogLevel_ERROR);
        return true;
    }

private:
    bool Reference(uint32_t op, const Label *label, GrowableArray<uint32_t> *indexes)
    {
        return label->index >= 0 && m_Out->ops.Push(op) &&
               indexes->Push(static_cast<uint32_t>(label->index));
    }

    // Consecutive literal bytes merge into one OpCopy, whatever instructions they came from.
    bool Literal(const uint8_t *bytes, uint32_t count)
    {
        return StartOrExtendCopy(count) && m_Out->copyBytes.Append(bytes, count);
    }

    bool StartOrExtendCopy(uint32_t count)
    {
        GrowableArray<uint32_t> &ops = m_Out->ops;
        if (!ops.Empty() && ops.Back() == OpCopy1) {
            if (!m_Out->copyCounts.Push(1))
                return false;
            ops.Back() = OpCopy;
        }
        if (!ops.Empty() && ops.Back() == OpCopy) {
            m_Out->copyCounts.Back() += count;
            return true;
        }
        if (count == 1)
            return ops.Push(OpCopy1);
        return ops.Push(OpCopy) && m_Out->copyCounts.Push(count);
    }

    EncodedProgram *m_Out;
};

} // namespace

void EncodedProgram::Clear()
{
    imageBase = 0;
    abs32Rvas.Clear();
    rel32Rvas.Clear();
    ops.Clear();
    origins.Clear();
    copyCounts.Clear();
    copyBytes.Clear();
    abs32Ix.Clear();
    rel32Ix.Clear();
}

Status EncodeProgram(const ParsedProgram &program, EncodedProgram *out)
{
    out->Clear();
    out->imageBase = program.ImageBase();
    bool ok = BuildAddressTable(program.Abs32Labels(), &out->abs32Rvas) &&
              BuildAddressTable(program.Rel32Labels(), &out->rel32Rvas);
    Encoder encoder(out);
    const uint8_t *literal = program.LiteralBytes().Data();
    for (size_t i = 0; ok && i < program.Instructions().Size(); ++i)
        ok = encoder.Translate(program, program.Instructions()[i], &literal);
    if (ok)
        return StatusOk;
    out->Clear();
    return StatusGeneralError;
}

} // namespace vxpatch
