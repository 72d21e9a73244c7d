#include "vxpatch/encodedprogram.h"

#include "vxlog/log.h"

#include <cstring>

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

// Translates instructions into every table but the copy bytes, which FillCopyBytes writes
// afterwards once their total is known.
class Encoder {
public:
    explicit Encoder(EncodedProgram *out) : m_Out(out) {}

    size_t CopyBytesTotal() const { return m_CopyBytesTotal; }

    bool Translate(const ParsedProgram &program, const Instruction &insn)
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
        case InsnBytes:
            return Literal(insn.value);
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
    bool Literal(uint32_t count)
    {
        if (count > SIZE_MAX - m_CopyBytesTotal)
            return false;
        m_CopyBytesTotal += count;
        return StartOrExtendCopy(count);
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
    size_t m_CopyBytesTotal = 0;
};

// Writes the literal bytes of all instructions into `copyBytes`, already sized to their
// total, from the back. The InsnByte bytes may lie at the front of the same buffer: each
// run moves to a place at or after its own, behind every run not yet moved, so nothing is
// overwritten before it is read.
void FillCopyBytes(const GrowableArray<Instruction> &instructions, const uint8_t *literals,
                   size_t literalCount, GrowableArray<uint8_t> *copyBytes)
{
    size_t write = copyBytes->Size();
    size_t read = literalCount;
    for (size_t i = instructions.Size(); i-- > 0;) {
        const Instruction &insn = instructions[i];
        if (insn.kind != InsnByte && insn.kind != InsnBytes)
            continue;
        write -= insn.value;
        if (insn.kind == InsnByte) {
            read -= insn.value;
            std::memmove(copyBytes->Data() + write, literals + read, insn.value);
        } else {
            std::memcpy(copyBytes->Data() + write, insn.bytes, insn.value);
        }
    }
}

// Every table but the copy bytes; the total of the copy bytes is left in `copyBytes`.
bool TranslateProgram(const ParsedProgram &program, EncodedProgram *out, size_t *copyBytes)
{
    out->Clear();
    out->imageBase = program.ImageBase();
    bool ok = BuildAddressTable(program.Abs32Labels(), &out->abs32Rvas) &&
              BuildAddressTable(program.Rel32Labels(), &out->rel32Rvas);
    Encoder encoder(out);
    for (size_t i = 0; ok && i < program.Instructions().Size(); ++i)
        ok = encoder.Translate(program, program.Instructions()[i]);
    *copyBytes = encoder.CopyBytesTotal();
    return ok;
}

Status Failed(EncodedProgram *out)
{
    out->Clear();
    return StatusGeneralError;
}

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
    size_t copyBytes = 0;
    if (!TranslateProgram(program, out, &copyBytes) || !out->copyBytes.GrowTo(copyBytes, 0))
        return Failed(out);
    FillCopyBytes(program.Instructions(), program.LiteralBytes().Data(),
                  program.LiteralBytes().Size(), &out->copyBytes);
    return StatusOk;
}

Status EncodeProgram(std::unique_ptr<ParsedProgram> program, EncodedProgram *out)
{
    size_t copyBytes = 0;
    if (!TranslateProgram(*program, out, &copyBytes))
        return Failed(out);
    GrowableArray<uint8_t> bytes = program->ReleaseLiteralBytes();
    const size_t literalCount = bytes.Size();
    if (!bytes.GrowTo(copyBytes, 0))
        return Failed(out);
    FillCopyBytes(program->Instructions(), bytes.Data(), literalCount, &bytes);
    program.reset();
    out->copyBytes = std::move(bytes);
    return StatusOk;
}

} // namespace vxpatch
