// One application of an ensemble patch, step by step. The applier owns everything the
// application allocates (patchers, decoded body, corrected sets) so that every path out of
// it, success or failure, releases the lot when the applier dies.
#pragma once

#include "vxpatch/ensemblestatus.h"
#include "vxpatch/growablearray.h"
#include "vxpatch/streams.h"
#include "vxpatch/transformationpatcher.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

class EnsembleApplier {
public:
    EnsembleApplier() = default;
    ~EnsembleApplier();
    EnsembleApplier(const EnsembleApplier &) = delete;
    EnsembleApplier &operator=(const EnsembleApplier &) = delete;

    // Magic, version and the three header fields; leaves `patch` at the body.
    Status ReadHeader(ByteSource *patch);
    Status Apply(ByteSource *oldSource, ByteSource *patch, ByteSink *result);
    // The mapping that the old source views. Its pages are dropped whenever a step is done
    // reading it (the checksum, each element, the copy into the basic elements): they come
    // back from the file when read again, and the steps in between do not carry them.
    void SetOldFile(const MappedFile *oldFile) { m_OldFile = oldFile; }

    uint32_t SourceChecksum() const { return m_SourceChecksum; }
    uint32_t TargetChecksum() const { return m_TargetChecksum; }
    uint32_t FinalSizePrediction() const { return m_FinalSizePrediction; }

private:
    void DropOldPages() const;
    Status ReadBody(ByteSource *patch);
    Status ReadTransformationList();
    Status CorrectParameters();
    Status TransformElements(ByteSinkSet *transformedElements);
    Status SetBodyAside();
    Status TakeBodyBack();
    Status CorrectElements(ByteSinkSet *transformedElements);
    Status KeepOnlyFinalCorrection();
    Status ReformElements(ByteSink *basicElements);
    Status FinalCorrection(const ByteSink &basicElements, ByteSink *result);
    Status CorrectSet(ByteSinkSet *set, ByteSource *diff, ByteSink *storage,
                      ByteSourceSet *corrected);
    size_t ReformReservation() const;

    uint32_t m_SourceChecksum = 0;
    uint32_t m_TargetChecksum = 0;
    uint32_t m_FinalSizePrediction = 0;
    const uint8_t *m_Base = nullptr;
    size_t m_BaseLength = 0;
    const MappedFile *m_OldFile = nullptr;
    GrowableArray<TransformationPatcher *> m_Patchers;
    const uint8_t *m_BodyBlock = nullptr; // the body's LZMA2 block in the patch
    size_t m_BodyBlockLength = 0;
    ByteSink m_Body;
    bool m_BodySetAside = false;
    size_t m_BodySize = 0;
    uint32_t m_BodyChecksum = 0;
    ByteSourceSet m_BodySet;
    ByteSink m_CorrectedParametersStorage;
    ByteSourceSet m_CorrectedParameters;
    ByteSink m_CorrectedElementsStorage;
    ByteSourceSet m_CorrectedElements;
};

} // namespace vxpatch
