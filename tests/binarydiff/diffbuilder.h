// Test support for binary diffs: hand-built diffs from control triples (so that every field,
// including ones no maker would write, can be set) and a log sink that records the engine's
// error messages, which are part of the behaviour under test.
#pragma once

#include "vxlog/log.h"
#include "vxpatch/streams.h"

#include <cstdint>
#include <string>
#include <vector>

namespace binarydifftest {

using Bytes = std::vector<uint8_t>;

struct Triple {
    int32_t diff;
    int32_t extra;
    int32_t seek;
};

// The three streams of a diff before they are stored.
struct DiffParts {
    std::vector<Triple> control;
    Bytes diff;
    Bytes extra;
};

Bytes bytesOf(const vxpatch::ByteSink &sink);
Bytes bytesOf(const std::string &text);

// A stored (method 0) body: three lengths, then the streams.
Bytes storedBody(const DiffParts &parts);
// A whole diff of the given method (0, 1 or 2, or any other byte to test rejection).
Bytes buildDiff(const DiffParts &parts, uint32_t newSize, uint8_t method);
// The same preceded by the magic and the given checksum.
Bytes buildDiffWithHeader(const DiffParts &parts, uint32_t newSize, uint8_t method,
                          uint32_t checksum);

struct ApplyResult {
    bool ok = false;
    Bytes output;
    size_t patchLeft = 0;  // patch bytes not consumed
};
ApplyResult applyDiff(const Bytes &oldBytes, const Bytes &patch, bool withHeader);

// Records the messages of error records while it exists.
class LogCapture : public vxlog::LogBase {
public:
    void Write(const std::string &line, int level, const std::string &channel, uint64_t id,
               const std::string &timestamp, const char *levelName) override;
    // The message part of each record, in order.
    std::vector<std::string> messages;
};

} // namespace binarydifftest
