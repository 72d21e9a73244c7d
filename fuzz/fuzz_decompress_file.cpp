// Containers from arbitrary bytes: unpacking either fails or yields bytes whose checksum is
// the one in the header.
#include "vxpatch/container.h"

#include <cstdlib>

using vxpatch::ByteSink;
using vxpatch::ByteSource;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSource container;
    container.Init(data, size);
    ByteSink result;
    if (!vxpatch::DecompressBuffer(&container, &result))
        return 0;
    ByteSource header;
    header.Init(data, size);
    uint32_t magic, checksum;
    if (!header.ReadVarint(&magic) || !header.ReadVarint(&checksum)
        || checksum != vxpatch::ComputeChecksum(result.Data(), result.Size()))
        std::abort();
    return 0;
}
