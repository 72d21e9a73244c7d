#include "command.h"
#include "toollog.h"

#include "vxpatch/ensemble.h"

#include <cstdio>

namespace vxtool {

int RunApply(const Arguments &arguments)
{
    const vxpatch::Status status = vxpatch::ApplyEnsemblePatch(
        arguments.Operand(0).c_str(), arguments.Operand(1).c_str(), arguments.Operand(2).c_str());
    if (status != vxpatch::StatusOk) {
        std::printf("%s\n", vxpatch::StatusName(status));
        ReportFailure("apply", "could not apply " + arguments.Operand(1) + " ("
                                   + vxpatch::StatusName(status) + ")");
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace vxtool
