// The executable-aware payload of a container: the dis-and-diff set of encoded programs of
// the input's executable images and the diff that rebuilds the exact input from them. Kept
// apart from the container writer because it needs the disassemblers.
#pragma once

#include "vxpatch/rarereferences.h"
#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Appends the combined dis-and-diff set of the bytes to `set`, keeping a label only for
// relative targets with more than `limit` label-worthy references (rarereferences.h). False
// when no executable image is recognised or the executable path fails; the writer then
// stores the bytes plainly.
bool MakeDisAndDiffSet(const uint8_t *data, size_t length, ByteSink *set,
                       int32_t limit = kRareReferenceLimit);

} // namespace vxpatch
