#pragma once

namespace testsupport {

// How long a wait for an event may take before the test calls it a failure.
// It only bounds a failure: a passing test never waits this long.
constexpr int kEventBoundMs = 60000;

} // namespace testsupport
