// Pure formatting of log records: time stamps and the record line. Kept apart from the
// process-wide state in log.cpp so the exact layout can be checked against fixed times.
#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <cstdint>
#include <string>

namespace vxlog {

// Style 0: "YYYY-MM-DD HH:MM:SS.ffffff", right-aligned in 26 characters padded with '0';
// style 1: "YYYY-MM-DDTHH:MM:SS[.ffffff]"; style 2: "YYYYMMDDTHHMMSS[.ffffff]".
std::string FormatTimestamp(const boost::posix_time::ptime &time, int style);

// The record line: "stamp|LEVEL   |channel       |id |message", with every line break of the
// message followed by enough spaces to start the next line under the message's first character.
std::string FormatRecordLine(const std::string &timestamp, const char *levelName,
                             const std::string &channel, uint64_t id, const std::string &message);

} // namespace vxlog
