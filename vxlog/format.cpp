#include "vxlog/format.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/format.hpp>

namespace vxlog {

namespace {

std::string styleZero(const boost::posix_time::ptime &time)
{
    std::string text = boost::posix_time::to_iso_extended_string(time);
    const std::string::size_type t = text.find('T');
    if (t != std::string::npos)
        text[t] = ' ';
    // A time on the whole second carries no fraction; records still end the stamp with a
    // point and keep the column width, so readers can align on it.
    if (text.find('.') == std::string::npos)
        text += '.';
    if (text.size() < 26)
        text.insert(0, 26 - text.size(), '0');
    return text;
}

} // namespace

std::string FormatTimestamp(const boost::posix_time::ptime &time, int style)
{
    switch (style) {
    case 1:
        return boost::posix_time::to_iso_extended_string(time);
    case 2:
        return boost::posix_time::to_iso_string(time);
    default:
        return styleZero(time);
    }
}

std::string FormatRecordLine(const std::string &timestamp, const char *levelName,
                             const std::string &channel, uint64_t id, const std::string &message)
{
    const std::string idText = id != 0 ? std::to_string(id) : std::string();
    const std::string prefix =
        (boost::format("%s|%-8s|%-14s|%-3s|") % timestamp % levelName % channel % idText).str();
    std::string line = prefix;
    line.reserve(prefix.size() + message.size());
    for (const char c : message) {
        line += c;
        if (c == '\n')
            line.append(prefix.size(), ' ');
    }
    return line;
}

} // namespace vxlog
