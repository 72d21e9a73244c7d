// The executable-aware payload of a container from arbitrary bytes, without the LZMA2 layer
// around it, so mutations reach the stored programs and the diff directly.
#include "vxpatch/disanddiffreader.h"

#include <cstdlib>

using vxpatch::ByteSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSink payload, result;
    if (!payload.WriteBytes(data, size))
        std::abort();
    vxpatch::RebuildFromDisAndDiff(payload, &result);
    return 0;
}
