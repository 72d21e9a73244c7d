// Dropping rarely used branch targets of ARM programs. A label costs an address table entry
// and makes its branches depend on it; for a target reached by a handful of branches it is
// cheaper to keep those branches as literal bytes.
#pragma once

#include "vxpatch/assemblyprogram.h"

namespace vxpatch {

// Labels referenced this many times or fewer are dropped.
constexpr int32_t kTrimThreshold = 5;

// Programs other than ELF ARM are left alone. False when a branch to a dropped label has
// no bytes to stand in for it (size 0); the program is then only fit for destruction.
bool TrimLabels(ParsedProgram *program);

} // namespace vxpatch
