// The maker side of the binary diff, run by release engineers and by our tests to produce
// real inputs for the reader. Matching indexes the old file with a suffix array; peak memory
// stays near five bytes per old byte plus two per new byte, because the index is released
// before the streams are combined and compressed.
#pragma once

#include "vxpatch/binarydiff.h"
#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Largest old or new file the maker accepts: positions in a diff are 32-bit signed.
constexpr size_t kMaxBinaryDiffInput = 0x7FFFFFFF;

// Appends to `out` a diff that turns the old bytes into the new bytes, stored with `method`
// (BinaryDiffMethod) and preceded by the magic and checksum when `withHeader`. False for an
// unknown method, an input above kMaxBinaryDiffInput or lack of memory; `out` then holds
// what it held before.
bool MakeBinaryDiff(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                    size_t newSize, int method, bool withHeader, ByteSink *out);

} // namespace vxpatch
