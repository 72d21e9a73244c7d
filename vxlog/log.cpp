#include "vxlog/log.h"

#include "vxlog/format.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <cstdio>
#include <cstdlib>

namespace vxlog {

namespace {

const char *const kLevelNames[] = {"CRITICAL", "ERROR", "WARNING", "DEBUG", "INFO", "DEVELOP"};

struct Settings {
    int logLevel = LogLevel_DEVEL;
    bool useLocalTime = false;
    int timestampStyle = 0;
    CriticalCallback criticalCallback;
};

Settings &settings()
{
    static Settings s;
    return s;
}

// Known noise from a database layer that shares this library; it is dropped before any
// work, whatever its level.
bool isSuppressed(const std::string &message, const std::string &channel)
{
    return channel == "DatabaseQuery"
        && (message == "sqlite3_prepare failed no such column: string_id"
            || message.find("db_exec() select * from instance_properties where string_id = '")
                   != std::string::npos);
}

std::string currentTimestamp()
{
    const Settings &s = settings();
    const boost::posix_time::ptime now = s.useLocalTime
        ? boost::posix_time::microsec_clock::local_time()
        : boost::posix_time::microsec_clock::universal_time();
    return FormatTimestamp(now, s.timestampStyle);
}

[[noreturn]] void endProcess()
{
    // Other threads may still be running engine code; static destructors must not run
    // under them, so stdio is flushed and the process leaves at once.
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace

struct SinkList {
    LogBase *first = nullptr;
    LogBase *last = nullptr;

    static SinkList &instance()
    {
        static SinkList list;
        return list;
    }

    void append(LogBase *sink)
    {
        sink->m_Previous = last;
        sink->m_Next = nullptr;
        (last ? last->m_Next : first) = sink;
        last = sink;
    }

    void remove(LogBase *sink)
    {
        (sink->m_Previous ? sink->m_Previous->m_Next : first) = sink->m_Next;
        (sink->m_Next ? sink->m_Next->m_Previous : last) = sink->m_Previous;
    }

    template <typename Visit> void forEach(Visit visit)
    {
        for (LogBase *sink = first; sink != nullptr;) {
            LogBase *next = sink->m_Next;
            visit(sink);
            sink = next;
        }
    }

};

LogBase::LogBase()
{
    SinkList::instance().append(this);
}

LogBase::~LogBase()
{
    SinkList::instance().remove(this);
}

const char *LevelName(int level)
{
    if (!(level >= 0 && level <= LogLevel_DEVEL))
        LogAssertion("lvl >= 0 && lvl <= LogLevel_DEVEL", __FILE__, __LINE__);
    return kLevelNames[level];
}

void Log(const std::string &message, int level, const std::string &channel, uint64_t id)
{
    if (isSuppressed(message, channel))
        return;
    if (level <= settings().logLevel) {
        const char *levelName = LevelName(level);
        const std::string timestamp = currentTimestamp();
        const std::string line = FormatRecordLine(timestamp, levelName, channel, id, message);
        SinkList::instance().forEach([&](LogBase *sink) {
            sink->Write(line, level, channel, id, timestamp, levelName);
            if (level == LogLevel_CRITICAL)
                sink->Flush();
        });
        if (level == LogLevel_CRITICAL && settings().criticalCallback)
            settings().criticalCallback(line, channel, id, timestamp, levelName);
    }
    if (level == LogLevel_CRITICAL)
        endProcess();
}

void LogAssertion(const char *expression, const char *file, int line, const char *detail)
{
    Log(std::string("Assertion \"") + expression + "\" failed at " + file + ":"
            + std::to_string(line) + "; " + detail,
        LogLevel_CRITICAL);
}

void SetLogLevel(int level)
{
    settings().logLevel = level;
}

void SetUseLocalTime(bool useLocalTime)
{
    settings().useLocalTime = useLocalTime;
}

void SetTimestampStyle(int style)
{
    settings().timestampStyle = style;
}

void SetCriticalCallback(CriticalCallback callback)
{
    settings().criticalCallback = std::move(callback);
}

void ControlSinks(uintptr_t command, uintptr_t argument)
{
    SinkList::instance().forEach([&](LogBase *sink) { sink->Control(command, argument); });
}

void NotifySinks(uintptr_t event, uintptr_t argument)
{
    SinkList::instance().forEach([&](LogBase *sink) { sink->Notify(event, argument); });
}

} // namespace vxlog
