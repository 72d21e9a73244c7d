// Packing arbitrary bytes in both container modes and unpacking them must give the bytes back.
#include "vxpatch/container.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

using vxpatch::ByteSink;
using vxpatch::ByteSource;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const auto mode : {vxpatch::ContainerMode::Plain, vxpatch::ContainerMode::ExecutableAware}) {
        ByteSink packed, unpacked;
        if (!vxpatch::CompressBuffer(data, size, mode, &packed))
            std::abort();
        ByteSource container;
        container.Init(packed);
        if (!vxpatch::DecompressBuffer(&container, &unpacked) || unpacked.Size() != size
            || (size != 0 && std::memcmp(unpacked.Data(), data, size) != 0))
            std::abort();
    }
    return 0;
}
