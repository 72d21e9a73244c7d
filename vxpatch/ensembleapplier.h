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
    // The mapping that the old source views: once the old bytes have been copied into the
    // basic elements its pages are dropped, so the file is not held in memory twice.
    void SetOldFile(const MappedFile *oldFile) { m_OldFile = oldFile; }

    uint32_t SourceChecksum() const { return m_SourceChecksum; }
    uint32_t TargetChecksum() const { return m_TargetChecksum; }
    uint32_t FinalSizePrediction() const { return m_FinalSizePrediction; }

private:
    Status ReadBody(ByteSource *patch);
    Status ReadTransformationList();
    Status CorrectParameters();
    Status TransformElements(ByteSinkSet *transformedElements);
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
    ByteSink m_Body;
    ByteSourceSet m_BodySet;
    ByteSink m_CorrectedParametersStorage;
    ByteSourceSet m_CorrectedParameters;
    ByteSink m_CorrectedElementsStorage;
    ByteSourceSet m_CorrectedElements;
};

} // namespace vxpatch
