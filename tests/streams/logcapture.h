// Collects the messages the engine logs while a test runs, so tests can check which failure
// was reported and not just that something failed.
#pragma once

#include "vxlog/log.h"

#include <algorithm>
#include <string>
#include <vector>

namespace streamstest {

class LogCapture : public vxlog::LogBase {
public:
    void Write(const std::string &line, int level, const std::string &channel, uint64_t id,
               const std::string &timestamp, const char *levelName) override
    {
        // The message is what follows the fourth bar of the record line.
        size_t at = 0;
        for (int bar = 0; bar < 4; ++bar)
            at = line.find('|', at) + 1;
        messages.push_back(line.substr(at));
        levels.push_back(level);
    }

    bool contains(const std::string &message) const
    {
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    std::vector<std::string> messages;
    std::vector<int> levels;
};

} // namespace streamstest
