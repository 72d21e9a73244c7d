#include "vxpatch/disanddiffreader.h"

#include "vxpatch/binarydiff.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/enginelog.h"

namespace vxpatch {

namespace {

bool assembleStoredProgram(ByteSource *stream, ByteSink *assembly)
{
    ByteSourceSet sources;
    if (!sources.ParseRemaining(*stream)) {
        LogError("could not init program_source set");
        return false;
    }
    StoredProgram program;
    if (ReadStoredProgram(&sources, &program) != StatusOk) {
        LogError("could not read encoded program");
        return false;
    }
    if (AssembleProgram(program, assembly) != StatusOk) {
        LogError("could not assemble program");
        return false;
    }
    return true;
}

} // namespace

bool RebuildFromDisAndDiff(const ByteSink &payload, ByteSink *result)
{
    ByteSourceSet set;
    if (!set.Parse(payload.Data(), payload.Size())) {
        LogError("could not init dif_and_dis set");
        return false;
    }
    if (set.Count() < 2) {
        LogError("dis_and_diff too small");
        return false;
    }
    const size_t programs = set.Count() - 1;
    ByteSink assembly;
    for (size_t i = 0; i < programs; ++i) {
        if (!assembleStoredProgram(set.Stream(i), &assembly))
            return false;
    }
    ByteSource old;
    old.Init(assembly);
    if (!ApplyBinaryDiff(&old, set.Stream(programs), result, false)) {
        LogError("could not apply diff");
        return false;
    }
    return true;
}

} // namespace vxpatch
