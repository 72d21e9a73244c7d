#include "command.h"
#include "toollog.h"

#include "vxpatch/container.h"

namespace vxtool {

int RunPack(const Arguments &arguments)
{
    const auto mode = arguments.Has("--plain")   ? vxpatch::ContainerMode::Plain
                      : arguments.Has("--aware") ? vxpatch::ContainerMode::ExecutableAware
                                                 : vxpatch::ContainerMode::Smallest;
    if (!vxpatch::CompressFile(arguments.Operand(0).c_str(), arguments.Operand(1).c_str(), mode)) {
        ReportFailure("pack", "could not pack " + arguments.Operand(0));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace vxtool
