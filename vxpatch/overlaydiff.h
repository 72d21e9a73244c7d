// The diff from a container's assembled programs to the packed file when every program
// assembles to as many bytes as its image has: each assembly is laid over its own image and
// the bytes around the images go out as they are. A suffix-matched diff may instead match
// those bytes against unrelated stretches of the assembly (the other slice of a universal
// file against this one), which leaves the compressor noise where plain bytes would have
// matched earlier data of the same block.
#pragma once

#include "vxpatch/executableelements.h"
#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Appends a diff in stored form without header to `out`. `assembled[i]` is the size the
// program of `elements[i]` assembled to; the assemblies lie back to back in `assembly`.
// False, with `out` unchanged, when a size differs from its image's length or memory runs out.
bool MakeOverlayDiff(const uint8_t *assembly, const GrowableArray<size_t> &assembled,
                     const GrowableArray<ExecutableElement> &elements, const uint8_t *data,
                     size_t length, ByteSink *out);

} // namespace vxpatch
