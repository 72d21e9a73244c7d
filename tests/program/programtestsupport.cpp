#include "programtestsupport.h"

namespace vxtest {

std::vector<uint8_t> bytesOf(const vxpatch::ByteSink &sink)
{
    return std::vector<uint8_t>(sink.Data(), sink.Data() + sink.Size());
}

vxpatch::Status assembleStored(const vxpatch::EncodedProgram &program, vxpatch::ByteSink *out)
{
    vxpatch::ByteSinkSet set;
    vxpatch::ByteSink combined;
    if (vxpatch::StoreEncodedProgram(program, &set) != vxpatch::StatusOk || !set.Combine(&combined))
        return vxpatch::StatusStreamError;
    vxpatch::ByteSourceSet sources;
    if (!sources.Parse(combined.Data(), combined.Size()))
        return vxpatch::StatusStreamError;
    vxpatch::StoredProgram stored;
    const vxpatch::Status status = vxpatch::ReadStoredProgram(&sources, &stored);
    return status != vxpatch::StatusOk ? status : vxpatch::AssembleProgram(stored, out);
}

} // namespace vxtest
