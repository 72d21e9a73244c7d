#include "vxpatch/assemblyprogram.h"

#include "vxpatch/armbranch.h"

#include "vxlog/log.h"

namespace vxpatch {

ParsedProgram::ParsedProgram(ExecutableType kind) : m_Kind(kind) {}

bool ParsedProgram::Append(InstructionKind kind, uint32_t value, Label *label,
                           const uint8_t *bytes, uint16_t op)
{
    return m_Instructions.Push(Instruction{kind, op, value, label, bytes});
}

bool ParsedProgram::EmitOrigin(uint32_t rva)
{
    return Append(InsnOrigin, rva);
}

bool ParsedProgram::EmitByte(uint8_t value)
{
    const bool extendsRun = !m_Instructions.Empty() && m_Instructions.Back().kind == InsnByte &&
                            m_Instructions.Back().value < UINT32_MAX;
    if (!extendsRun && !m_Instructions.Reserve(m_Instructions.Size() + 1))
        return false;
    if (!m_LiteralBytes.Push(value))
        return false;
    if (extendsRun)
        ++m_Instructions.Back().value;
    else
        Append(InsnByte, 1);
    return true;
}

bool ParsedProgram::EmitBytes(const uint8_t *bytes, size_t count)
{
    while (count > UINT32_MAX) {
        if (!Append(InsnBytes, UINT32_MAX, nullptr, bytes))
            return false;
        bytes += UINT32_MAX;
        count -= UINT32_MAX;
    }
    return Append(InsnBytes, static_cast<uint32_t>(count), nullptr, bytes);
}

bool ParsedProgram::EmitReference(InstructionKind kind, Label *label, uint32_t size,
                                  const uint8_t *bytes, uint16_t op)
{
    // A reference without a label could only be encoded as garbage; refusing it makes the
    // disassembly fail instead.
    if (!label) {
        vxlog::Log("REACHED UNREACHABLE", vxlog::LogLevel_ERROR);
        return false;
    }
    return Append(kind, size, label, bytes, op);
}

bool ParsedProgram::EmitRel32(Label *label)
{
    return EmitReference(InsnRel32, label);
}

bool ParsedProgram::EmitAbs32(Label *label)
{
    return EmitReference(InsnAbs32, label);
}

bool ParsedProgram::EmitRel32Arm(uint16_t op, Label *label, const uint8_t *bytes, uint16_t size)
{
    // Any other value would be encoded as an opcode of its own and assemble as something else.
    if (op < kArmOpFirst || op > kArmOpLast)
        return false;
    return EmitReference(InsnRel32Arm, label, size, bytes, op);
}

bool ParsedProgram::EmitPeRelocs()
{
    return Append(InsnPeRelocs);
}

bool ParsedProgram::EmitElfRelocs()
{
    return Append(InsnElfRelocs);
}

bool ParsedProgram::EmitElfArmRelocs()
{
    return Append(InsnElfArmRelocs);
}

namespace {

Label *CountedLookup(LabelMap *labels, uint32_t rva)
{
    Label *label = labels->FindOrAdd(rva);
    if (label)
        ++label->count;
    return label;
}

} // namespace

Label *ParsedProgram::Abs32LabelAt(uint32_t rva)
{
    return CountedLookup(&m_Abs32Labels, rva);
}

Label *ParsedProgram::Rel32LabelAt(uint32_t rva)
{
    return CountedLookup(&m_Rel32Labels, rva);
}

} // namespace vxpatch
