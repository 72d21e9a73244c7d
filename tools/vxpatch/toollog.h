// The tool's view of the engine log: with -v every record goes to stderr; in any case the
// last error is kept, so a failure ends in one line that says what went wrong.
#pragma once

#include "vxlog/log.h"

#include <string>

namespace vxtool {

class ToolLog : public vxlog::LogBase {
public:
    explicit ToolLog(bool verbose);

    void Write(const std::string &line, int level, const std::string &channel, uint64_t id,
               const std::string &timestamp, const char *levelName) override;

    // The first error logged (later errors are usually consequences), or empty.
    const std::string &FirstError() const { return m_FirstError; }

private:
    bool m_Verbose;
    std::string m_FirstError;
};

// Prints "vxpatch <command>: <what>" and the engine's first error, if any, on one line.
void ReportFailure(const char *command, const std::string &what);

} // namespace vxtool
