// Byte-vector helpers shared by the stream tests: expected encodings are written as lists.
#pragma once

#include "vxpatch/streams.h"

#include <cstdint>
#include <vector>

namespace streamstest {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const vxpatch::ByteSink &sink)
{
    return Bytes(sink.Data(), sink.Data() + sink.Size());
}

} // namespace streamstest
