// Stream-set headers and nested sets from arbitrary bytes: every view must stay inside the
// input, and what parses must survive being written back and parsed again.
#include "vxpatch/streams.h"

#include <cstdlib>
#include <cstring>

using vxpatch::ByteSinkSet;
using vxpatch::ByteSink;
using vxpatch::ByteSource;
using vxpatch::ByteSourceSet;

namespace {

void drainVarints(ByteSource *stream)
{
    uint32_t value;
    while (stream->ReadVarint(&value)) {
    }
}

void checkRewrite(ByteSourceSet *parsed)
{
    ByteSinkSet sinks;
    if (!sinks.SetCount(parsed->Count()))
        std::abort();
    for (size_t i = 0; i < parsed->Count(); ++i) {
        ByteSource *stream = parsed->Stream(i);
        sinks.Stream(i)->WriteBytes(stream->Position(), stream->Remaining());
    }
    ByteSink combined;
    ByteSourceSet again;
    if (!sinks.Combine(&combined) || !again.Parse(combined.Data(), combined.Size())
        || again.Count() != parsed->Count())
        std::abort();
    for (size_t i = 0; i < parsed->Count(); ++i) {
        ByteSource *a = parsed->Stream(i);
        ByteSource *b = again.Stream(i);
        if (a->Remaining() != b->Remaining()
            || (a->Remaining() != 0 && std::memcmp(a->Position(), b->Position(), a->Remaining()) != 0))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSourceSet set;
    if (!set.Parse(data, size))
        return 0;
    checkRewrite(&set);
    ByteSourceSet nested;
    if (set.ReadNested(&nested)) {
        for (size_t i = 0; i < nested.Count(); ++i)
            drainVarints(nested.Stream(i));
    }
    for (size_t i = 0; i < set.Count(); ++i)
        drainVarints(set.Stream(i));
    set.AllConsumed();
    return 0;
}
