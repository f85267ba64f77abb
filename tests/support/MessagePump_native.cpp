#include "support/MessagePump.h"

#include "net/MainThreadQueue.h"

#include <algorithm>
#include <chrono>

namespace tw::test {

// Runs what workers queued for the main thread, then sleeps until more is queued (or a short
// while, since `done` may wait for something no worker signals).
bool PumpUntil(const std::function<bool()>& done, int ms) {
    TMainThreadQueue& queue = TMainThreadQueue::Instance();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const std::uint64_t seen = queue.Signals();
        queue.DeliverPending();
        if (done()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        queue.WaitForSignal(seen, static_cast<int>(std::min<long long>(left.count(), 5)));
    }
}

}  // namespace tw::test
