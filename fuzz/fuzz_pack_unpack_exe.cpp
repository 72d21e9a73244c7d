// The executable-aware payload of a container for arbitrary bytes: when the writer accepts
// the bytes as executable images, the reader must rebuild exactly those bytes from it.
// Seeded with executables, so the inputs reach the readers' deeper paths.
#include "vxpatch/disanddiffreader.h"
#include "vxpatch/disanddiffwriter.h"

#include <cstdlib>
#include <cstring>

using vxpatch::ByteSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSink payload, rebuilt;
    if (!vxpatch::MakeDisAndDiffSet(data, size, &payload))
        return 0;
    if (!vxpatch::RebuildFromDisAndDiff(payload, &rebuilt) || rebuilt.Size() != size ||
        std::memcmp(rebuilt.Data(), data, size) != 0)
        std::abort();
    return 0;
}
