// How the engine reports: records without channel or id, errors at level 1, the maker's
// fallbacks at level 2 and diagnostics at level 3.
#pragma once

#include "vxlog/log.h"

#include <string>

namespace vxpatch {

inline void LogError(const std::string &message)
{
    vxlog::Log(message, vxlog::LogLevel_ERROR);
}

inline void LogWarning(const std::string &message)
{
    vxlog::Log(message, vxlog::LogLevel_WARNING);
}

inline void LogDebug(const std::string &message)
{
    vxlog::Log(message, vxlog::LogLevel_DEBUG);
}

} // namespace vxpatch
