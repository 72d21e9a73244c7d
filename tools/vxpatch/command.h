// The subcommands of the vxpatch tool. Each lives in its own file and is listed once in the
// table of main.cpp; a new subcommand adds its file, its declaration here and one table line.
#pragma once

#include "arguments.h"

namespace vxtool {

// Exit codes of every subcommand.
enum ExitCode {
    ExitOk = 0,
    ExitFailure = 1,
    ExitUsage = 2,
};

struct Command {
    const char *name;
    const char *usage;   // arguments after the name
    const char *summary; // one line for the overview
    ArgumentSyntax arguments;
    int (*run)(const Arguments &arguments);
};

int RunPack(const Arguments &arguments);
int RunUnpack(const Arguments &arguments);
int RunDiff(const Arguments &arguments);
int RunPatch(const Arguments &arguments);
int RunInfo(const Arguments &arguments);
int RunMake(const Arguments &arguments);
int RunApply(const Arguments &arguments);

} // namespace vxtool
