#include "command.h"
#include "toollog.h"

#include "vxpatch/container.h"

namespace vxtool {

int RunUnpack(const Arguments &arguments)
{
    if (!vxpatch::DecompressFile(arguments.Operand(0).c_str(), arguments.Operand(1).c_str())) {
        ReportFailure("unpack", "could not unpack " + arguments.Operand(0));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace vxtool
