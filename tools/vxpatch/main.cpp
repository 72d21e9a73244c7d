// vxpatch: packs and unpacks compressed file containers and makes and applies binary diffs
// with the updater's own engine, for release engineers and for checking engine output.
#include "command.h"
#include "toollog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace vxtool {

namespace {

const Command kCommands[] = {
    {"pack", "[--aware] [--plain] IN OUT",
     "write a compressed file container of IN: the smaller of both forms, or only the plain "
     "or the executable-aware one",
     {{"--plain", "--aware"}, {}, 2}, RunPack},
    {"unpack", "IN OUT", "unpack the compressed file container IN", {{}, {}, 2}, RunUnpack},
    {"diff", "[--method 0|1|2] [--header] OLD NEW OUT",
     "write a binary diff from OLD to NEW (method 2, the compressed body, by default)",
     {{"--header"}, {"--method"}, 3}, RunDiff},
    {"patch", "[--header] OLD DIFF OUT", "apply the binary diff DIFF to OLD",
     {{"--header"}, {}, 3}, RunPatch},
    {"info", "FILE", "list the executable images recognised in FILE", {{}, {}, 1}, RunInfo},
    {"make", "OLD NEW PATCH", "make an ensemble patch from OLD to NEW", {{}, {}, 3}, RunMake},
    {"apply", "OLD PATCH NEW", "apply an ensemble patch; prints the status on failure", {{}, {}, 3}, RunApply},
};

void printOverview(std::FILE *out)
{
    std::fprintf(out, "usage: vxpatch [-v] COMMAND [OPTIONS] FILES...\n\n"
                      "  -v         print the engine's log records on stderr\n"
                      "  --help     show this help; COMMAND --help shows the command's\n\n"
                      "commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  %-8s %s\n", command.name, command.summary);
    std::fprintf(out, "\nExit status: 0 success, 1 failure, 2 usage error. OUT is written only"
                      " when the whole operation succeeded.\n");
}

void printUsage(std::FILE *out, const Command &command)
{
    std::fprintf(out, "usage: vxpatch [-v] %s %s\n%s\n", command.name, command.usage,
                 command.summary);
}

const Command *findCommand(const std::string &name)
{
    for (const Command &command : kCommands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vxpatch: %s\nTry 'vxpatch --help'.\n", message.c_str());
    return ExitUsage;
}

int runCommand(const Command &command, std::vector<std::string> words)
{
    bool verbose = false;
    std::vector<std::string> rest;
    for (const std::string &word : words) {
        if (word == "--help") {
            printUsage(stdout, command);
            return ExitOk;
        }
        if (word == "-v" || word == "--verbose")
            verbose = true;
        else
            rest.push_back(word);
    }
    Arguments arguments;
    std::string error;
    if (!arguments.Parse(rest, command.arguments, &error)) {
        std::fprintf(stderr, "vxpatch %s: %s\n", command.name, error.c_str());
        printUsage(stderr, command);
        return ExitUsage;
    }
    ToolLog log(verbose);
    return command.run(arguments);
}

} // namespace

} // namespace vxtool

int main(int argc, char **argv)
{
    using namespace vxtool;
    std::vector<std::string> words(argv + 1, argv + argc);
    // Options before the command apply to it.
    std::vector<std::string> leading;
    size_t at = 0;
    while (at < words.size() && !words[at].empty() && words[at][0] == '-') {
        if (words[at] == "--help") {
            printOverview(stdout);
            return ExitOk;
        }
        if (words[at] != "-v" && words[at] != "--verbose")
            return usageError("unknown option " + words[at]);
        leading.push_back(words[at++]);
    }
    if (at == words.size())
        return usageError("no command given");
    const Command *command = findCommand(words[at]);
    if (command == nullptr)
        return usageError("unknown command '" + words[at] + "'");
    leading.insert(leading.end(), words.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                   words.end());
    return runCommand(*command, leading);
}
