// The diagnostic log of the patch engine. A call formats one record line and hands it to
// every registered sink; with no sink it writes nothing anywhere. A critical record ends the
// process. The library takes no lock: sinks are registered before engine work starts and the
// settings are changed only by tools and tests, so engine threads share nothing mutable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vxlog {

enum LogLevel {
    LogLevel_CRITICAL = 0,
    LogLevel_ERROR = 1,
    LogLevel_WARNING = 2,
    LogLevel_DEBUG = 3,
    LogLevel_INFO = 4,
    LogLevel_DEVEL = 5,
};

// Base of every sink. Constructing one appends it to the process-wide sink list, destroying
// it unlinks it; the list is intrusive so registering never allocates.
class LogBase {
public:
    LogBase();
    virtual ~LogBase();
    LogBase(const LogBase &) = delete;
    LogBase &operator=(const LogBase &) = delete;

    virtual void Flush() {}
    // Commands broadcast to every sink by ControlSinks (for instance "reopen your file").
    virtual void Control(uintptr_t command, uintptr_t argument) {}
    virtual void Write(const std::string &line, int level, const std::string &channel, uint64_t id,
                       const std::string &timestamp, const char *levelName) = 0;
    // Notifications broadcast to every sink by NotifySinks.
    virtual void Notify(uintptr_t event, uintptr_t argument) {}

private:
    friend struct SinkList;
    LogBase *m_Previous = nullptr;
    LogBase *m_Next = nullptr;
};

using CriticalCallback = std::function<void(const std::string &line, const std::string &channel,
                                            uint64_t id, const std::string &timestamp,
                                            const char *levelName)>;

void Log(const std::string &message, int level, const std::string &channel = std::string(),
         uint64_t id = 0);

// Logs "Assertion "expression" failed at file:line; detail" at the critical level, which
// ends the process.
void LogAssertion(const char *expression, const char *file, int line, const char *detail = "");

void SetLogLevel(int level);
void SetUseLocalTime(bool useLocalTime);
void SetTimestampStyle(int style);
void SetCriticalCallback(CriticalCallback callback);

const char *LevelName(int level);

void ControlSinks(uintptr_t command, uintptr_t argument);
void NotifySinks(uintptr_t event, uintptr_t argument);

} // namespace vxlog

// Internal invariants of the engine; a failure is logged at the critical level and the
// process ends, so the check stays in release builds.
#define VXLOG_ASSERT(expression)                                                         \
    do {                                                                                 \
        if (!(expression))                                                               \
            ::vxlog::LogAssertion(#expression, __FILE__, __LINE__);                      \
    } while (false)
