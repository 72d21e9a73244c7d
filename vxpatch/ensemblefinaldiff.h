// The final correction of an ensemble patch, made without searching where the answer is
// known. The basic-elements buffer holds every paired new element as re-assembled bytes, so
// those ranges of the new file are copied from there directly, each as one control triple
// (difference bytes all zero when assembly reproduced the element exactly). Only the bytes
// between elements are matched against the old file, which spares sorting the whole
// basic-elements buffer (old file plus new elements) and keeps the make quick.
#pragma once

#include "vxpatch/growablearray.h"
#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// A range of the new file whose re-assembled bytes lie in the basic-elements buffer.
struct ReformedRange {
    size_t newOffset;
    size_t basicOffset;
    size_t length;
};

// Appends to `out` a stored diff without header from `basic` to the new bytes. `basic`
// starts with the `oldSize` bytes of the old file; `ranges` are in new-file order and do not
// overlap. False when memory runs out or an input is beyond what a diff can address.
bool MakeFinalDiff(const uint8_t *basic, size_t basicSize, size_t oldSize,
                   const uint8_t *newData, size_t newSize,
                   const GrowableArray<ReformedRange> &ranges, ByteSink *out);

} // namespace vxpatch
