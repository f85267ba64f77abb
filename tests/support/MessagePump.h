#pragma once
// Lets the main thread handle what workers hand it while they run: under Windows their messages
// to the hidden thread window, natively the handlers queued on TMainThreadQueue.
#include <functional>

namespace tw::test {

// Handles this thread's messages until `done` answers true or `ms` pass; answers `done()`.
bool PumpUntil(const std::function<bool()>& done, int ms = 10000);

// Handles this thread's messages for `ms`.
inline void PumpFor(int ms) { PumpUntil([] { return false; }, ms); }

}  // namespace tw::test
