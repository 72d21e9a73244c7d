// Binary diff: rebuilds a new byte string from an old one and three streams — control triples,
// diff bytes added to old bytes, and extra bytes copied as they are. Every file the updater
// patches or unpacks passes through here, so the reader trusts nothing in the patch: each
// count is checked against the streams, the old bytes and the announced size before a byte
// is read or written, and a bad patch ends in `false`, never in a read past a buffer.
#pragma once

#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

// Optional leading magic of a self-contained diff, followed by the checksum of the new file.
constexpr char kBinaryDiffMagic[8] = {'V', 'X', 'D', 'I', 'F', 'F', '1', '0'};

enum BinaryDiffMethod : uint8_t {
    BinaryDiffStored = 0,          // three lengths, then the three streams as they are
    BinaryDiffStreamsCompressed = 1, // one LZMA2 block per stream
    BinaryDiffBodyCompressed = 2,  // one LZMA2 block holding a stored body
};

// Applies the diff at `patch`'s position to the bytes `old` has left and writes the new file
// into the empty sink `out`. `patch` ends up past the diff. On failure `out` holds an
// unspecified part of the result and the caller discards it.
bool ApplyBinaryDiff(ByteSource *old, ByteSource *patch, ByteSink *out, bool withHeader);

} // namespace vxpatch
