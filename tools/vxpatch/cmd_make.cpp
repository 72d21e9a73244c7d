#include "command.h"
#include "toollog.h"

#include "vxpatch/ensemblemaker.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace vxtool {

namespace {

// One line rewritten in place while a long make runs, only when someone watches.
class TerminalProgress : public vxpatch::MakeProgress {
public:
    TerminalProgress() : m_Enabled(::isatty(STDERR_FILENO) != 0) {}
    ~TerminalProgress() override
    {
        if (m_Enabled && m_Shown)
            std::fprintf(stderr, "\r\033[K");
    }
    void Report(const char *step) override
    {
        if (!m_Enabled)
            return;
        std::fprintf(stderr, "\r\033[Kvxpatch make: %s...", step);
        std::fflush(stderr);
        m_Shown = true;
    }

private:
    bool m_Enabled;
    bool m_Shown = false;
};

// Maps `path`; an empty file is fine here (it cannot be mapped, but it can be made into).
bool OpenInput(const std::string &path, vxpatch::MappedFile *file, bool *empty)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    *empty = info.st_size == 0;
    return *empty || file->Open(path.c_str());
}

} // namespace

int RunMake(const Arguments &arguments)
{
    const std::string &oldPath = arguments.Operand(0), &newPath = arguments.Operand(1);
    vxpatch::MappedFile oldFile, newFile;
    bool oldEmpty = false, newEmpty = false;
    if (!OpenInput(oldPath, &oldFile, &oldEmpty) || !OpenInput(newPath, &newFile, &newEmpty)) {
        ReportFailure("make", "cannot read " + (oldFile.IsValid() || oldEmpty ? newPath : oldPath));
        return ExitFailure;
    }
    // The updater maps the old file before applying, and an empty file cannot be mapped.
    if (oldEmpty) {
        ReportFailure("make", oldPath + " is empty; ship the new file instead of a patch");
        return ExitFailure;
    }
    vxpatch::ByteSink patch;
    vxpatch::MakeReport report;
    vxpatch::Status status;
    {
        TerminalProgress progress;
        status = vxpatch::MakeEnsemblePatch(oldFile.Data(), oldFile.Length(), newFile.Data(),
                                            newFile.Length(), &patch, &progress, &report);
    }
    if (status != vxpatch::StatusOk) {
        ReportFailure("make", std::string("could not make a patch (")
                                  + vxpatch::StatusName(status) + ")");
        return ExitFailure;
    }
    if (!vxpatch::ReplaceWholeFile(arguments.Operand(2).c_str(), patch.Data(), patch.Size())) {
        ReportFailure("make", "cannot write " + arguments.Operand(2));
        return ExitFailure;
    }
    std::printf("%zu bytes, %zu element(s), %zu of %zu labels aligned\n", patch.Size(),
                report.elements, report.alignedLabels, report.labels);
    return ExitOk;
}

} // namespace vxtool
