#include "vxlog/format.h"

#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>

using boost::posix_time::time_from_string;
using vxlog::FormatRecordLine;
using vxlog::FormatTimestamp;

namespace {

TEST(LogFormat, TimestampStyles)
{
    const struct {
        const char *time;
        int style;
        const char *expected;
    } cases[] = {
        {"2026-12-11 09:05:07.123456", 0, "2026-12-11 09:05:07.123456"},
        {"2026-12-11 09:05:07.000001", 0, "2026-12-11 09:05:07.000001"},
        // On the whole second: no fraction, a lone point, left-padded with zeros to 26.
        {"2026-12-11 09:05:07", 0, "0000002026-12-11 09:05:07."},
        {"2026-12-11 09:05:07.5", 2, "20261211T090507.500000"},
        {"2026-12-11 09:05:07", 2, "20261211T090507"},
        {"2026-12-11 09:05:07.25", 1, "2026-12-11T09:05:07.250000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatTimestamp(time_from_string(c.time), c.style), c.expected) << c.time;
}

TEST(LogFormat, RecordLinePadsFieldsWithoutCuttingThem)
{
    const std::string stamp(26, 'T');
    EXPECT_EQ(FormatRecordLine(stamp, "ERROR", "", 0, "crc mismatch"),
              stamp + "|ERROR   |              |   |crc mismatch");
    EXPECT_EQ(FormatRecordLine(stamp, "CRITICAL", "AVeryLongChannelName", 12345, "m"),
              stamp + "|CRITICAL|AVeryLongChannelName|12345|m");
    EXPECT_EQ(FormatRecordLine(stamp, "DEBUG", "net", 7, ""), stamp + "|DEBUG   |net           |7  |");
}

TEST(LogFormat, ContinuationLinesStartUnderTheMessage)
{
    const std::string stamp(26, '0');
    const std::string line = FormatRecordLine(stamp, "ERROR", "", 0, "a\nb\n");
    const std::string prefix = stamp + "|ERROR   |              |   |";
    ASSERT_EQ(prefix.size(), 55u);
    EXPECT_EQ(line, prefix + "a\n" + std::string(55, ' ') + "b\n" + std::string(55, ' '));
}

} // namespace
