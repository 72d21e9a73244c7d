#include "command.h"
#include "toollog.h"

#include "vxpatch/executableelements.h"
#include "vxpatch/streams.h"

#include <sys/stat.h>

#include <cstdio>

namespace vxtool {

namespace {

bool IsEmptyFile(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

} // namespace

// Lists the executable images the engine recognises in a file, as the executable-aware
// container would store them: one line each with type, offset and length.
int RunInfo(const Arguments &arguments)
{
    const std::string &path = arguments.Operand(0);
    vxpatch::MappedFile file;
    // An empty file cannot be mapped, yet it is a file without executables like any other.
    if (!file.Open(path.c_str()) && !IsEmptyFile(path)) {
        ReportFailure("info", "could not open " + path);
        return ExitFailure;
    }
    vxpatch::GrowableArray<vxpatch::ExecutableElement> elements;
    if (file.IsValid() && !vxpatch::FindExecutableElements(file.Data(), file.Length(), &elements)) {
        ReportFailure("info", "out of memory reading " + path);
        return ExitFailure;
    }
    for (const vxpatch::ExecutableElement &element : elements)
        std::printf("%s %zu %zu\n", vxpatch::ExecutableTypeName(element.type), element.offset, element.length);
    if (elements.Empty())
        std::printf("no executable\n");
    return ExitOk;
}

} // namespace vxtool
