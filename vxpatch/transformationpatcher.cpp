#include "vxpatch/transformationpatcher.h"

#include "vxpatch/detection.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/trimlabels.h"

#include <memory>

namespace vxpatch {

PatcherX86_32::PatcherX86_32(const uint8_t *base, size_t baseSize)
    : m_Base(base), m_BaseSize(baseSize)
{
}

Status PatcherX86_32::ReadParameters(ByteSource *transformationList)
{
    if (!transformationList->ReadVarint(&m_BaseOffset)
        || !transformationList->ReadVarint(&m_BaseLength))
        return StatusBadBase;
    if (m_BaseOffset > m_BaseSize || m_BaseLength > m_BaseSize - m_BaseOffset)
        return StatusBadBase;
    return StatusOk;
}

Status PatcherX86_32::PredictParameters(ByteSinkSet *predicted)
{
    return StatusOk;
}

Status PatcherX86_32::TransformElement(ByteSourceSet *parameters, ByteSinkSet *transformed)
{
    if (!parameters->AllConsumed())
        return StatusGeneralError;
    std::unique_ptr<ParsedProgram> program;
    Status status = DisassembleElement(m_Base + m_BaseOffset, m_BaseLength, &program);
    if (status != StatusOk)
        return status;
    if (!TrimLabels(program.get()))
        return StatusTrimFailed;
    EncodedProgram encoded;
    status = EncodeProgram(std::move(program), &encoded);
    if (status != StatusOk)
        return status;
    return StoreEncodedProgram(encoded, transformed);
}

Status PatcherX86_32::ReformElement(ByteSourceSet *transformed, ByteSink *out)
{
    StoredProgram program;
    const Status status = ReadStoredProgram(transformed, &program);
    if (status != StatusOk)
        return status;
    return AssembleProgram(program, out);
}

} // namespace vxpatch
