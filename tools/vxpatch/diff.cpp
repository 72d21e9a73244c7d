#include "command.h"
#include "inputfile.h"
#include "toollog.h"

#include "vxpatch/binarydiffmaker.h"

namespace vxtool {

int RunDiff(const Arguments &arguments)
{
    const std::string method = arguments.Value("--method", "2");
    if (method != "0" && method != "1" && method != "2") {
        ReportFailure("diff", "--method must be 0, 1 or 2, not '" + method + "'");
        return ExitUsage;
    }
    InputFile oldFile, newFile;
    for (const auto &[file, index] : {std::pair{&oldFile, 0}, std::pair{&newFile, 1}}) {
        if (!file->Open(arguments.Operand(index))) {
            ReportFailure("diff", "cannot read " + arguments.Operand(index));
            return ExitFailure;
        }
    }
    vxpatch::ByteSink diff;
    if (!vxpatch::MakeBinaryDiff(oldFile.Data(), oldFile.Length(), newFile.Data(),
                                 newFile.Length(), method[0] - '0', arguments.Has("--header"),
                                 &diff)) {
        ReportFailure("diff", "could not make the diff");
        return ExitFailure;
    }
    if (!vxpatch::ReplaceWholeFile(arguments.Operand(2).c_str(), diff.Data(), diff.Size())) {
        ReportFailure("diff", "cannot write " + arguments.Operand(2));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace vxtool
