#include "vxpatch/ensembleapplier.h"

#include "vxpatch/binarydiff.h"
#include "vxpatch/ensemble.h"

#include <new>

namespace vxpatch {

namespace {

// Streams of the patch body.
constexpr size_t kTransformationListStream = 0;
constexpr size_t kParameterCorrectionStream = 1;
constexpr size_t kElementCorrectionStream = 2;
constexpr size_t kFinalCorrectionStream = 3;
constexpr size_t kBodyStreams = 4;

constexpr uint32_t kFirstKind = 1;
constexpr uint32_t kLastKind = 7;

// No encoded-program byte assembles to more than this many output bytes (a one-byte abs32
// opcode and index give four bytes plus a relocation entry of at most eight).
constexpr size_t kMaxAssembledBytesPerEncodedByte = 16;

} // namespace

EnsembleApplier::~EnsembleApplier()
{
    for (TransformationPatcher *patcher : m_Patchers)
        delete patcher;
}

Status EnsembleApplier::ReadHeader(ByteSource *patch)
{
    uint32_t magic = 0, version = 0;
    if (!patch->ReadVarint(&magic) || magic != kEnsembleMagic)
        return StatusBadMagic;
    if (!patch->ReadVarint(&version) || version != kEnsembleVersion)
        return StatusBadVersion;
    if (!patch->ReadVarint(&m_SourceChecksum) || !patch->ReadVarint(&m_TargetChecksum)
        || !patch->ReadVarint(&m_FinalSizePrediction))
        return StatusBadHeader;
    return StatusOk;
}

Status EnsembleApplier::Apply(ByteSource *oldSource, ByteSource *patch, ByteSink *result)
{
    Status status = ReadHeader(patch);
    if (status != StatusOk)
        return status;
    m_Base = oldSource->Position();
    m_BaseLength = oldSource->Remaining();
    if (ComputeChecksum(m_Base, m_BaseLength) != m_SourceChecksum)
        return StatusBadCrc;
    DropOldPages();
    ByteSinkSet transformedElements;
    if ((status = ReadBody(patch)) != StatusOk || (status = ReadTransformationList()) != StatusOk
        || (status = CorrectParameters()) != StatusOk || (status = SetBodyAside()) != StatusOk
        || (status = TransformElements(&transformedElements)) != StatusOk
        || (status = TakeBodyBack()) != StatusOk
        || (status = CorrectElements(&transformedElements)) != StatusOk
        || (status = KeepOnlyFinalCorrection()) != StatusOk)
        return status;
    ByteSink basicElements;
    if ((status = ReformElements(&basicElements)) != StatusOk)
        return status;
    return FinalCorrection(basicElements, result);
}

void EnsembleApplier::DropOldPages() const
{
    if (m_OldFile != nullptr)
        m_OldFile->DropResidentPages();
}

Status EnsembleApplier::ReadBody(ByteSource *patch)
{
    m_BodyBlock = patch->Position();
    m_BodyBlockLength = patch->Remaining();
    if (!ReadLzma2Block(patch, &m_Body))
        return StatusStreamError;
    // A body that is no stream set, or one too short to carry every stream the steps below
    // read, is a corrupt transformation list.
    if (!m_BodySet.Parse(m_Body.Data(), m_Body.Size()) || m_BodySet.Count() < kBodyStreams)
        return StatusBadHeader;
    return StatusOk;
}

Status EnsembleApplier::ReadTransformationList()
{
    ByteSource *list = m_BodySet.Stream(kTransformationListStream);
    uint32_t count = 0;
    if (!list->ReadVarint(&count))
        return StatusBadHeader;
    // Each kind takes at least one byte, so a count beyond the list's size fails below
    // without having allocated anything for it.
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t kind = 0;
        if (!list->ReadVarint(&kind) || kind < kFirstKind || kind > kLastKind)
            return StatusBadHeader;
        TransformationPatcher *patcher = new (std::nothrow) PatcherX86_32(m_Base, m_BaseLength);
        if (!patcher)
            return StatusGeneralError;
        if (!m_Patchers.Push(patcher)) {
            delete patcher;
            return StatusGeneralError;
        }
    }
    for (TransformationPatcher *patcher : m_Patchers) {
        const Status status = patcher->ReadParameters(list);
        if (status != StatusOk)
            return status;
    }
    return list->IsConsumed() ? StatusOk : StatusBadHeader;
}

Status EnsembleApplier::CorrectSet(ByteSinkSet *set, ByteSource *diff, ByteSink *storage,
                                   ByteSourceSet *corrected)
{
    ByteSink combined;
    if (!set->Combine(&combined))
        return StatusStreamError;
    ByteSource from;
    from.Init(combined);
    if (!ApplyBinaryDiff(&from, diff, storage, false))
        return StatusGeneralError;
    return corrected->Parse(storage->Data(), storage->Size()) ? StatusOk : StatusStreamError;
}

Status EnsembleApplier::CorrectParameters()
{
    ByteSinkSet predicted;
    for (TransformationPatcher *patcher : m_Patchers) {
        ByteSinkSet parameters;
        const Status status = patcher->PredictParameters(&parameters);
        if (status != StatusOk)
            return status;
        if (!predicted.WriteNested(&parameters))
            return StatusStreamError;
    }
    return CorrectSet(&predicted, m_BodySet.Stream(kParameterCorrectionStream),
                      &m_CorrectedParametersStorage, &m_CorrectedParameters);
}

Status EnsembleApplier::TransformElements(ByteSinkSet *transformedElements)
{
    for (TransformationPatcher *patcher : m_Patchers) {
        ByteSourceSet parameters;
        if (!m_CorrectedParameters.ReadNested(&parameters))
            return StatusStreamError;
        ByteSinkSet transformed;
        const Status status = patcher->TransformElement(&parameters, &transformed);
        if (status != StatusOk)
            return status;
        DropOldPages();
        if (!parameters.AllConsumed())
            return StatusStreamNotConsumed;
        if (!transformedElements->WriteNested(&transformed))
            return StatusStreamError;
    }
    return m_CorrectedParameters.AllConsumed() ? StatusOk : StatusStreamNotConsumed;
}

// While the old elements are disassembled and encoded, when their programs take the most
// memory, nothing reads the body. It is dropped then and decoded again from the mapped
// patch; its checksum makes sure the second decoding gives the same bytes.
Status EnsembleApplier::SetBodyAside()
{
    if (m_Patchers.Empty())
        return StatusOk;
    m_BodyChecksum = ComputeChecksum(m_Body.Data(), m_Body.Size());
    m_BodySize = m_Body.Size();
    for (size_t i = 0; i < m_BodySet.Count(); ++i)
        m_BodySet.Stream(i)->Init(nullptr, 0);
    m_Body.Release();
    m_BodySetAside = true;
    return StatusOk;
}

Status EnsembleApplier::TakeBodyBack()
{
    if (!m_BodySetAside)
        return StatusOk;
    ByteSource block;
    block.Init(m_BodyBlock, m_BodyBlockLength);
    if (!ReadLzma2Block(&block, &m_Body) || m_Body.Size() != m_BodySize
        || ComputeChecksum(m_Body.Data(), m_Body.Size()) != m_BodyChecksum
        || !m_BodySet.Parse(m_Body.Data(), m_Body.Size()) || m_BodySet.Count() < kBodyStreams)
        return StatusStreamError;
    m_BodySetAside = false;
    return StatusOk;
}

Status EnsembleApplier::CorrectElements(ByteSinkSet *transformedElements)
{
    return CorrectSet(transformedElements, m_BodySet.Stream(kElementCorrectionStream),
                      &m_CorrectedElementsStorage, &m_CorrectedElements);
}

// Of the body only the final diff is still to be read. It moves to the front and the rest
// is given back, so the reform and the final correction do not carry the element diff.
Status EnsembleApplier::KeepOnlyFinalCorrection()
{
    ByteSource *finalCorrection = m_BodySet.Stream(kFinalCorrectionStream);
    const size_t offset = static_cast<size_t>(finalCorrection->Position() - m_Body.Data());
    if (!m_Body.KeepOnly(offset, finalCorrection->Remaining()))
        return StatusStreamError;
    for (size_t i = 0; i < m_BodySet.Count(); ++i)
        m_BodySet.Stream(i)->Init(nullptr, 0);
    finalCorrection->Init(m_Body);
    return StatusOk;
}

// The prediction only sizes a reservation. A patch may claim any size, so it is trusted
// only as far as the corrected elements could possibly assemble to; the sink grows on its
// own if the claim was too small.
size_t EnsembleApplier::ReformReservation() const
{
    const size_t elements = m_CorrectedElementsStorage.Size();
    size_t limit = m_BaseLength;
    if (elements <= (SIZE_MAX - limit) / kMaxAssembledBytesPerEncodedByte)
        limit += elements * kMaxAssembledBytesPerEncodedByte;
    else
        limit = SIZE_MAX;
    return m_FinalSizePrediction < limit ? m_FinalSizePrediction : limit;
}

Status EnsembleApplier::ReformElements(ByteSink *basicElements)
{
    if (!basicElements->Reserve(ReformReservation())
        || !basicElements->WriteBytes(m_Base, m_BaseLength))
        return StatusStreamError;
    DropOldPages();
    for (TransformationPatcher *patcher : m_Patchers) {
        ByteSourceSet transformed;
        if (!m_CorrectedElements.ReadNested(&transformed))
            return StatusStreamError;
        const Status status = patcher->ReformElement(&transformed, basicElements);
        if (status != StatusOk)
            return status;
        if (!transformed.AllConsumed())
            return StatusStreamNotConsumed;
    }
    if (!m_CorrectedElements.AllConsumed())
        return StatusStreamNotConsumed;
    m_CorrectedElementsStorage.Release();
    return StatusOk;
}

Status EnsembleApplier::FinalCorrection(const ByteSink &basicElements, ByteSink *result)
{
    ByteSource from;
    from.Init(basicElements);
    if (!ApplyBinaryDiff(&from, m_BodySet.Stream(kFinalCorrectionStream), result, false))
        return StatusGeneralError;
    return ComputeChecksum(result->Data(), result->Size()) == m_TargetChecksum ? StatusOk
                                                                               : StatusBadCrc;
}

} // namespace vxpatch
