// One element of an ensemble patch on the applying side: its place in the old file, the
// parameters the maker predicted for it, how the old element becomes its transformed
// (encoded program) form and how a corrected form turns back into bytes. The applier drives
// every element through these steps in order, so each step is a separate operation.
#pragma once

#include "vxpatch/ensemblestatus.h"
#include "vxpatch/streams.h"

#include <cstdint>

namespace vxpatch {

class TransformationPatcher {
public:
    TransformationPatcher() = default;
    virtual ~TransformationPatcher() = default;
    TransformationPatcher(const TransformationPatcher &) = delete;
    TransformationPatcher &operator=(const TransformationPatcher &) = delete;

    // Reads this element's entry of the transformation list.
    virtual Status ReadParameters(ByteSource *transformationList) = 0;
    virtual Status PredictParameters(ByteSinkSet *predicted) = 0;
    virtual Status TransformElement(ByteSourceSet *parameters, ByteSinkSet *transformed) = 0;
    // Appends the element's bytes to `out`.
    virtual Status ReformElement(ByteSourceSet *transformed, ByteSink *out) = 0;
};

// Every executable kind is handled alike: the element is disassembled, its labels trimmed
// and its program encoded. It takes no parameters.
class PatcherX86_32 : public TransformationPatcher {
public:
    // `base` is the whole old file; it must outlive the patcher.
    PatcherX86_32(const uint8_t *base, size_t baseSize);

    Status ReadParameters(ByteSource *transformationList) override;
    Status PredictParameters(ByteSinkSet *predicted) override;
    Status TransformElement(ByteSourceSet *parameters, ByteSinkSet *transformed) override;
    Status ReformElement(ByteSourceSet *transformed, ByteSink *out) override;

    uint32_t BaseOffset() const { return m_BaseOffset; }
    uint32_t BaseLength() const { return m_BaseLength; }

private:
    const uint8_t *m_Base;
    size_t m_BaseSize;
    uint32_t m_BaseOffset = 0;
    uint32_t m_BaseLength = 0;
};

} // namespace vxpatch
