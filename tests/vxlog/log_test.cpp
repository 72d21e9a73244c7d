#include "vxlog/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Record {
    std::string line;
    int level;
    std::string channel;
    uint64_t id;
    std::string levelName;
};

class RecordingSink : public vxlog::LogBase {
public:
    void Write(const std::string &line, int level, const std::string &channel, uint64_t id,
               const std::string &timestamp, const char *levelName) override
    {
        records.push_back({line, level, channel, id, levelName});
        stamps.push_back(timestamp);
    }
    void Flush() override { ++flushes; }

    std::vector<Record> records;
    std::vector<std::string> stamps;
    int flushes = 0;
};

class LogTest : public testing::Test {
protected:
    void TearDown() override
    {
        vxlog::SetLogLevel(vxlog::LogLevel_DEVEL);
        vxlog::SetTimestampStyle(0);
        vxlog::SetCriticalCallback(nullptr);
    }
};

TEST_F(LogTest, RecordsReachEverySinkInRegistrationOrder)
{
    std::vector<std::string> order;
    struct OrderSink : vxlog::LogBase {
        OrderSink(std::vector<std::string> *order, std::string name) : order(order), name(name) {}
        void Write(const std::string &, int, const std::string &, uint64_t, const std::string &,
                   const char *) override
        {
            order->push_back(name);
        }
        std::vector<std::string> *order;
        std::string name;
    };
    OrderSink first(&order, "first");
    {
        OrderSink second(&order, "second");
        vxlog::Log("one", vxlog::LogLevel_DEBUG);
    }
    vxlog::Log("two", vxlog::LogLevel_DEBUG);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "first"}));
}

TEST_F(LogTest, RecordCarriesLevelChannelIdAndStamp)
{
    RecordingSink sink;
    vxlog::Log("crc mismatch", vxlog::LogLevel_ERROR);
    vxlog::Log("note", vxlog::LogLevel_INFO, "engine", 42);
    ASSERT_EQ(sink.records.size(), 2u);
    const std::string &stamp = sink.stamps[0];
    EXPECT_EQ(stamp.size(), 26u);
    EXPECT_EQ(sink.records[0].line, stamp + "|ERROR   |              |   |crc mismatch");
    EXPECT_EQ(sink.records[0].levelName, "ERROR");
    EXPECT_EQ(sink.records[1].line,
              sink.stamps[1] + "|INFO    |engine        |42 |note");
    EXPECT_EQ(sink.records[1].id, 42u);
    EXPECT_EQ(sink.flushes, 0);
}

TEST_F(LogTest, LevelFilterAndSuppressedNoise)
{
    RecordingSink sink;
    vxlog::SetLogLevel(vxlog::LogLevel_WARNING);
    vxlog::Log("dropped", vxlog::LogLevel_DEBUG);
    vxlog::Log("kept", vxlog::LogLevel_WARNING);
    vxlog::Log("sqlite3_prepare failed no such column: string_id", vxlog::LogLevel_ERROR,
               "DatabaseQuery");
    vxlog::Log("x db_exec() select * from instance_properties where string_id = 'a'",
               vxlog::LogLevel_ERROR, "DatabaseQuery");
    vxlog::Log("sqlite3_prepare failed no such column: string_id", vxlog::LogLevel_ERROR,
               "Other");
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[0].level, vxlog::LogLevel_WARNING);
    EXPECT_EQ(sink.records[1].channel, "Other");
}

TEST_F(LogTest, LevelNames)
{
    const char *names[] = {"CRITICAL", "ERROR", "WARNING", "DEBUG", "INFO", "DEVELOP"};
    for (int level = 0; level <= vxlog::LogLevel_DEVEL; ++level)
        EXPECT_STREQ(vxlog::LevelName(level), names[level]);
}

TEST_F(LogTest, StampStyleTwoIsBasicIso)
{
    RecordingSink sink;
    vxlog::SetTimestampStyle(2);
    vxlog::Log("x", vxlog::LogLevel_DEBUG);
    ASSERT_EQ(sink.stamps.size(), 1u);
    EXPECT_EQ(sink.stamps[0][8], 'T');
    EXPECT_EQ(sink.stamps[0].find('-'), std::string::npos);
}

using LogDeathTest = LogTest;

TEST_F(LogDeathTest, CriticalRecordFlushesCallsBackAndExits)
{
    EXPECT_EXIT(
        {
            struct ExitingSink : RecordingSink {
                void Flush() override { fprintf(stderr, "flushed %s\n", records.back().line.c_str()); }
            } sink;
            vxlog::SetCriticalCallback([](const std::string &line, const std::string &,
                                          uint64_t, const std::string &, const char *name) {
                fprintf(stderr, "callback %s\n", name);
            });
            vxlog::Log("fatal", vxlog::LogLevel_CRITICAL);
        },
        testing::ExitedWithCode(1), "flushed .*\\|CRITICAL\\|.*fatal\ncallback CRITICAL");
}

TEST_F(LogDeathTest, CriticalExitsEvenWhenFilteredOut)
{
    EXPECT_EXIT(
        {
            vxlog::SetLogLevel(-1);
            vxlog::Log("fatal", vxlog::LogLevel_CRITICAL);
        },
        testing::ExitedWithCode(1), "");
}

TEST_F(LogDeathTest, SuppressedCriticalNoiseDoesNotExit)
{
    vxlog::Log("sqlite3_prepare failed no such column: string_id", vxlog::LogLevel_CRITICAL,
               "DatabaseQuery");
    SUCCEED();
}

TEST_F(LogDeathTest, AssertionLineAndBadLevel)
{
    EXPECT_EXIT(
        {
            struct PrintingSink : RecordingSink {
                void Flush() override { fprintf(stderr, "%s\n", records.back().line.c_str()); }
            } sink;
            vxlog::Log("bad level", -1);
        },
        testing::ExitedWithCode(1),
        "\\|Assertion \"lvl >= 0 && lvl <= LogLevel_DEVEL\" failed at .*log.cpp:[0-9]+; ");
}

} // namespace
