#include "vxpatch/container.h"

#include "vxpatch/disanddiffwriter.h"
#include "vxpatch/enginelog.h"

#include <sys/stat.h>

#include <utility>

namespace vxpatch {

namespace {

bool writeContainer(uint32_t checksum, uint32_t directive, const uint8_t *payload,
                    size_t length, ByteSink *out)
{
    return out->WriteVarint(kContainerMagic) && out->WriteVarint(checksum)
        && out->WriteVarint(directive) && WriteLzma2Block(payload, length, out);
}

// Inputs below this size are packed with both reference limits and the smaller kept; above
// it the lower limit always won and a second disassembly would cost seconds.
constexpr size_t kTryBothLimitsBelow = 1 << 20;

bool writeExecutableAware(uint32_t checksum, const uint8_t *data, size_t length, int32_t limit,
                          ByteSink *out)
{
    ByteSink set;
    return MakeDisAndDiffSet(data, length, &set, limit) &&
           writeContainer(checksum, ContainerExecutableAware, set.Data(), set.Size(), out);
}

bool isEmptyFile(const oschar *path)
{
    struct stat info;
    return ::stat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

} // namespace

bool CompressBuffer(const uint8_t *data, size_t length, ContainerMode mode, ByteSink *out)
{
    const uint32_t checksum = ComputeChecksum(data, length);
    if (mode == ContainerMode::Plain)
        return writeContainer(checksum, ContainerPlain, data, length, out);
    ByteSink aware;
    if (!writeExecutableAware(checksum, data, length, kRareReferenceLimit, &aware)) {
        LogWarning("falling back to default compression");
        return writeContainer(checksum, ContainerPlain, data, length, out);
    }
    ByteSink other;
    if (length < kTryBothLimitsBelow &&
        writeExecutableAware(checksum, data, length, kRareReferenceLimitSmallImage, &other) &&
        other.Size() < aware.Size())
        aware = std::move(other);
    if (mode == ContainerMode::Smallest) {
        // Small images and images that are mostly data can lose more to the programs' address
        // streams than the disassembly gains; only packing both forms tells.
        ByteSink plain;
        if (writeContainer(checksum, ContainerPlain, data, length, &plain)
            && plain.Size() <= aware.Size())
            return out->AppendAndRelease(&plain);
    }
    return out->AppendAndRelease(&aware);
}

bool CompressFile(const oschar *source, const oschar *target, ContainerMode mode)
{
    MappedFile file;
    // An empty file cannot be mapped, yet it packs like any other.
    const bool mapped = file.Open(source);
    if (!mapped && !isEmptyFile(source)) {
        LogError("could not open input file");
        return false;
    }
    ByteSink container;
    if (!CompressBuffer(file.Data(), file.Length(), mode, &container)) {
        LogError("could not compress file");
        return false;
    }
    if (!ReplaceWholeFile(target, container.Data(), container.Size())) {
        LogError("could not write output file");
        return false;
    }
    return true;
}

} // namespace vxpatch
