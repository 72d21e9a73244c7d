// Runs the Qt event loop for tests: until a condition holds, or for a fixed time.
// Tests observe asynchronous behaviour through these instead of sleeping, so a passing
// condition returns at once and only a failing one costs the whole deadline.
#pragma once

#include <functional>

namespace vxtest {

// Processes events until `condition` returns true or `timeoutMs` has passed.
// Returns whether the condition held.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

// Processes events for `ms` milliseconds (to check that something does NOT happen).
void spinFor(int ms);

} // namespace vxtest
