// Applies arbitrary bytes as a header-less binary diff (the form every updater caller uses)
// to a fixed old file. Any read or write outside the buffers is a finding.
#include "vxpatch/binarydiff.h"

#include <cstddef>
#include <cstdint>

namespace {

// Varied but repeatable old bytes, long enough that diffs can seek around in them.
struct OldFile {
    uint8_t bytes[4096];
    OldFile()
    {
        for (size_t i = 0; i < sizeof(bytes); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 ^ (i >> 3));
    }
};

const OldFile kOld;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    vxpatch::ByteSource old, patch;
    old.Init(kOld.bytes, sizeof(kOld.bytes));
    patch.Init(data, size);
    vxpatch::ByteSink out;
    vxpatch::ApplyBinaryDiff(&old, &patch, &out, false);
    return 0;
}
