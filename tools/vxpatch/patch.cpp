#include "command.h"
#include "inputfile.h"
#include "toollog.h"

#include "vxpatch/binarydiff.h"

namespace vxtool {

int RunPatch(const Arguments &arguments)
{
    InputFile oldFile, diffFile;
    for (const auto &[file, index] : {std::pair{&oldFile, 0}, std::pair{&diffFile, 1}}) {
        if (!file->Open(arguments.Operand(index))) {
            ReportFailure("patch", "cannot read " + arguments.Operand(index));
            return ExitFailure;
        }
    }
    vxpatch::ByteSource old, diff;
    old.Init(oldFile.Data(), oldFile.Length());
    diff.Init(diffFile.Data(), diffFile.Length());
    vxpatch::ByteSink result;
    if (!vxpatch::ApplyBinaryDiff(&old, &diff, &result, arguments.Has("--header"))) {
        ReportFailure("patch", "could not apply " + arguments.Operand(1));
        return ExitFailure;
    }
    if (!vxpatch::ReplaceWholeFile(arguments.Operand(2).c_str(), result.Data(), result.Size())) {
        ReportFailure("patch", "cannot write " + arguments.Operand(2));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace vxtool
