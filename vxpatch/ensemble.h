// Applying ensemble patches: the updater's only entry into the patch engine for patched
// files. A patch names the executable elements of the old file, corrects their encoded
// programs into the new ones and finishes with one diff over the old file followed by the
// re-assembled elements. Runs on worker threads: no locks, no exceptions, and the new file
// is written only once everything has succeeded, so a failed update never leaves a partial
// file behind.
#pragma once

#include "vxpatch/ensemblestatus.h"
#include "vxpatch/streams.h"

#include <cstdint>

namespace vxpatch {

// On-disk constants of an ensemble patch header.
constexpr uint32_t kEnsembleMagic = 7696195;
constexpr uint32_t kEnsembleVersion = 20110216;

// Reads `oldPath` and `patchPath` and writes the whole result to `newPath`.
Status ApplyEnsemblePatch(const oschar *oldPath, const oschar *patchPath, const oschar *newPath);

// The same in memory: `result` must be empty; on failure its content is meaningless.
Status ApplyEnsemblePatchStreams(ByteSource *oldSource, ByteSource *patch, ByteSink *result);

} // namespace vxpatch
