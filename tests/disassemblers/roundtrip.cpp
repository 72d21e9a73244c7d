#include "roundtrip.h"

#include "vxpatch/encodedprogram.h"
#include "vxpatch/streams.h"
#include "vxpatch/trimlabels.h"

namespace vxtest {

using namespace vxpatch;

RoundTrip Reassemble(ParsedProgram *program, bool trim)
{
    RoundTrip result;
    if (trim && !TrimLabels(program)) {
        result.failure = "trim";
        return result;
    }
    EncodedProgram encoded;
    if (EncodeProgram(*program, &encoded) != StatusOk) {
        result.failure = "encode";
        return result;
    }
    ByteSinkSet sinks;
    ByteSink stored;
    if (StoreEncodedProgram(encoded, &sinks) != StatusOk || !sinks.Combine(&stored)) {
        result.failure = "store";
        return result;
    }
    ByteSourceSet sources;
    EncodedProgram loaded;
    if (!sources.Parse(stored.Data(), stored.Size()) || LoadEncodedProgram(&sources, &loaded) != StatusOk) {
        result.failure = "load";
        return result;
    }
    ByteSink output;
    if (AssembleProgram(loaded, &output) != StatusOk) {
        result.failure = "assemble";
        return result;
    }
    result.assembled.assign(output.Data(), output.Data() + output.Size());
    return result;
}

} // namespace vxtest
