// Encoded programs arrive inside containers and patches: any bytes must load and assemble
// or be refused without reading outside the input. A program that loads is also stored
// again and must load back to the same assembly.
#include "vxpatch/encodedprogram.h"

#include <cstdlib>
#include <cstring>

using namespace vxpatch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ByteSourceSet set;
    if (!set.Parse(data, size))
        return 0;
    EncodedProgram program;
    if (LoadEncodedProgram(&set, &program) != StatusOk)
        return 0;
    ByteSink first;
    const Status assembled = AssembleProgram(program, &first);

    ByteSinkSet stored;
    ByteSink combined;
    ByteSourceSet reparsed;
    EncodedProgram reloaded;
    ByteSink second;
    if (StoreEncodedProgram(program, &stored) != StatusOk || !stored.Combine(&combined) ||
        !reparsed.Parse(combined.Data(), combined.Size()) ||
        LoadEncodedProgram(&reparsed, &reloaded) != StatusOk ||
        AssembleProgram(reloaded, &second) != assembled)
        std::abort();
    if (assembled == StatusOk &&
        (first.Size() != second.Size() || std::memcmp(first.Data(), second.Data(), first.Size())))
        std::abort();
    return 0;
}
