#pragma once
// Lets the main thread handle messages while a worker runs: under Windows workers hand their
// events to the main thread through its message queue. Natively the work runs inline, so this
// only waits.
#include <functional>

namespace tw::test {

// Handles this thread's messages until `done` answers true or `ms` pass; answers `done()`.
bool PumpUntil(const std::function<bool()>& done, int ms = 10000);

// Handles this thread's messages for `ms`.
inline void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

}  // namespace tw::test
