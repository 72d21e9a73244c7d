// Rebuilding a file from the executable-aware payload of a container: each stored program is
// loaded and assembled in turn onto one buffer, and the diff in the last stream turns that
// buffer into the exact file. Programs are dropped as soon as they are assembled, so only
// one program's tables are in memory at a time.
#pragma once

#include "vxpatch/streams.h"

namespace vxpatch {

// Appends the rebuilt file to the empty sink `result`. The payload bytes must outlive the call.
bool RebuildFromDisAndDiff(const ByteSink &payload, ByteSink *result);

} // namespace vxpatch
