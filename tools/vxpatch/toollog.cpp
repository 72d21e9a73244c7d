#include "toollog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vxtool {

namespace {

ToolLog *g_Log = nullptr;

} // namespace

ToolLog::ToolLog(bool verbose) : m_Verbose(verbose)
{
    g_Log = this;
}

void ToolLog::Write(const std::string &line, int level, const std::string &channel, uint64_t id,
                    const std::string &timestamp, const char *levelName)
{
    if (m_Verbose)
        std::fprintf(stderr, "%s\n", line.c_str());
    if (level <= vxlog::LogLevel_ERROR && m_FirstError.empty()) {
        // The message follows four padded fields, each closed by a bar.
        const std::string idText = id != 0 ? std::to_string(id) : std::string();
        const size_t prefix = timestamp.size() + std::max<size_t>(8, std::strlen(levelName))
            + std::max<size_t>(14, channel.size()) + std::max<size_t>(3, idText.size()) + 4;
        m_FirstError = line.substr(std::min(prefix, line.size()));
    }
}

void ReportFailure(const char *command, const std::string &what)
{
    const std::string detail =
        g_Log != nullptr && !g_Log->FirstError().empty() ? " (" + g_Log->FirstError() + ")" : "";
    std::fprintf(stderr, "vxpatch %s: %s%s\n", command, what.c_str(), detail.c_str());
}

} // namespace vxtool
