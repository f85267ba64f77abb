#pragma once
// Lets the main thread handle messages while a transfer runs: under Windows the HTTP worker
// hands its events to the main thread through its message queue. Natively transfers run inline
// and nothing needs pumping.
#include <functional>

namespace tw::test {

// Handles this thread's messages until `done` answers true or `ms` pass; answers `done()`.
bool RssPumpUntil(const std::function<bool()>& done, int ms = 10000);

}  // namespace tw::test
