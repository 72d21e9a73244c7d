#include "vxpatch/container.h"

#include "vxpatch/disanddiffreader.h"
#include "vxpatch/enginelog.h"

namespace vxpatch {

namespace {

bool readPayload(ByteSource *container, uint32_t directive, ByteSink *result)
{
    switch (directive) {
    case ContainerPlain:
        if (!ReadLzma2Block(container, result)) {
            LogError("could not decompress file");
            return false;
        }
        return true;
    case ContainerExecutableAware: {
        ByteSink payload;
        if (!ReadLzma2Block(container, &payload)) {
            LogError("could not decompress file");
            return false;
        }
        return RebuildFromDisAndDiff(payload, result);
    }
    default:
        LogError("Unknown preprocessing dirrective");
        return false;
    }
}

} // namespace

bool DecompressBuffer(ByteSource *container, ByteSink *result)
{
    uint32_t magic, checksum, directive;
    if (!container->ReadVarint(&magic) || !container->ReadVarint(&checksum)
        || !container->ReadVarint(&directive)) {
        LogError("could not read lzma header");
        return false;
    }
    if (magic != kContainerMagic) {
        LogError("not lzma file");
        return false;
    }
    if (!readPayload(container, directive, result))
        return false;
    if (ComputeChecksum(result->Data(), result->Size()) != checksum) {
        LogError("crc mismatch");
        return false;
    }
    return true;
}

bool DecompressFile(const oschar *source, const oschar *target)
{
    MappedFile file;
    if (!file.Open(source)) {
        LogError("could not open lzma file");
        return false;
    }
    ByteSource container;
    container.Init(file.Data(), file.Length());
    ByteSink result;
    if (!DecompressBuffer(&container, &result))
        return false;
    // Through a file beside the target: a failed write must not leave a truncated target.
    if (!ReplaceWholeFile(target, result.Data(), result.Size())) {
        LogError("could not write output file");
        return false;
    }
    return true;
}

} // namespace vxpatch
