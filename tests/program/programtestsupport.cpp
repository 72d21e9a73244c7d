#include "programtestsupport.h"

namespace vxtest {

std::vector<uint8_t> bytesOf(const vxpatch::ByteSink &sink)
{
    return std::vector<uint8_t>(sink.Data(), sink.Data() + sink.Size());
}

} // namespace vxtest
