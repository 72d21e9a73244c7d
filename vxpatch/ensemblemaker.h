// Making ensemble patches: the release engineer's side of the updater's patches. The maker
// finds the executable elements of both files, pairs them, re-derives each old element's
// encoded program exactly as the applier will, encodes the new element with its labels
// numbered after the old one's, and diffs the lot. Every patch is applied once in memory
// before it is handed out; when the elements do not survive that check the patch carries the
// final diff alone, so a patch the maker returns always applies.
#pragma once

#include "vxpatch/ensemblestatus.h"
#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Told how far a long make has come; called on the maker's thread.
class MakeProgress {
public:
    virtual ~MakeProgress() = default;
    // `step` names the work ("elements", "element 2 of 5", "diff", "compress", "verify").
    virtual void Report(const char *step) = 0;
};

struct MakeReport {
    size_t elements = 0;       // element pairs carried by the patch
    size_t labels = 0;         // labels of the new elements
    size_t alignedLabels = 0;  // of which took an old label's index
    size_t leftOutBytes = 0;   // bytes of the new elements that the final diff carries
};

struct MakeOptions {
    // Keep the elements even where the final diff alone would make a smaller patch.
    bool alwaysUseElements = false;
};

// Appends to the empty sink `patch` a patch that turns the old bytes into the new bytes.
// StatusGeneralError for inputs beyond 2^31 - 1 bytes or when memory runs out.
Status MakeEnsemblePatch(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                         size_t newSize, ByteSink *patch, MakeProgress *progress = nullptr,
                         MakeReport *report = nullptr, const MakeOptions &options = {});

} // namespace vxpatch
