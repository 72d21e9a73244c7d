// Makes a diff between two arbitrary byte strings and applies it: the result must be the new
// bytes exactly. The first byte picks the method and the form, the next two the split point
// between the old and the new bytes. Compressed methods are picked rarely: setting up the
// LZMA2 encoder costs far more than matching a small input, and the matching is what is
// under test here.
#include "vxpatch/binarydiff.h"
#include "vxpatch/binarydiffmaker.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int method = (data[0] & 0x70) == 0x70 ? 1 + (data[0] & 1) : 0;
    const bool withHeader = (data[0] & 0x80) != 0;
    const size_t rest = size - 3;
    const size_t oldSize = rest == 0 ? 0 : (size_t(data[1]) << 8 | data[2]) % (rest + 1);
    const uint8_t *oldData = data + 3;
    const uint8_t *newData = oldData + oldSize;
    const size_t newSize = rest - oldSize;

    vxpatch::ByteSink diff;
    if (!vxpatch::MakeBinaryDiff(oldData, oldSize, newData, newSize, method, withHeader, &diff))
        std::abort();
    vxpatch::ByteSource old, patch;
    old.Init(oldData, oldSize);
    patch.Init(diff.Data(), diff.Size());
    vxpatch::ByteSink out;
    if (!vxpatch::ApplyBinaryDiff(&old, &patch, &out, withHeader) || !patch.IsConsumed() ||
        out.Size() != newSize || (newSize != 0 && std::memcmp(out.Data(), newData, newSize) != 0))
        std::abort();
    return 0;
}
