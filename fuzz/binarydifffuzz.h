// Applies arbitrary bytes as a binary diff to a fixed old file; shared by the targets for the
// header-less form (the one every updater caller uses) and the "VXDIFF10" form with its
// checksum. Any read or write outside the buffers is a finding.
#pragma once

#include "vxpatch/binarydiff.h"

#include <cstddef>
#include <cstdint>

namespace vxfuzz {

// Varied but repeatable old bytes, long enough that diffs can seek around in them.
struct OldFile {
    uint8_t bytes[4096];
    OldFile()
    {
        for (size_t i = 0; i < sizeof(bytes); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 ^ (i >> 3));
    }
};

inline int ApplyArbitraryDiff(const uint8_t *data, size_t size, bool withHeader)
{
    static const OldFile kOld;
    vxpatch::ByteSource old, patch;
    old.Init(kOld.bytes, sizeof(kOld.bytes));
    patch.Init(data, size);
    vxpatch::ByteSink out;
    vxpatch::ApplyBinaryDiff(&old, &patch, &out, withHeader);
    return 0;
}

} // namespace vxfuzz
