// The compressed file container ("._lzma2_" files): a small header (magic, checksum of the
// packed file, preprocessing directive) and one LZMA2 block. Directive 1 stores the file
// itself; directive 2 stores its executable images as encoded programs plus a diff that
// rebuilds the exact file from them. Unpacking writes the target only after the checksum
// matched, so a bad container never leaves a partial file behind.
#pragma once

#include "vxpatch/streams.h"

#include <cstddef>
#include <cstdint>

namespace vxpatch {

constexpr uint32_t kContainerMagic = 132781929;

enum ContainerDirective : uint32_t {
    ContainerPlain = 1,
    ContainerExecutableAware = 2,
};

enum class ContainerMode {
    Plain,           // always directive 1
    ExecutableAware, // directive 2 when executable images are found, else directive 1
    Smallest,        // whichever of the two directives packs the file into fewer bytes
};

// Unpacks the container at `source` into `target`. On false at least one line was logged
// and `target` was not touched.
bool DecompressFile(const oschar *source, const oschar *target);
// The same over bytes in memory: appends the packed file to the empty sink `result`.
bool DecompressBuffer(ByteSource *container, ByteSink *result);

// Packs `source` into a container at `target` (the making side).
bool CompressFile(const oschar *source, const oschar *target, ContainerMode mode);
// Appends a container of the bytes to `out`.
bool CompressBuffer(const uint8_t *data, size_t length, ContainerMode mode, ByteSink *out);

} // namespace vxpatch
