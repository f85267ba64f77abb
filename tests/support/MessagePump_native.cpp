#include "support/MessagePump.h"

#include <chrono>
#include <thread>

namespace tw::test {

bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

}  // namespace tw::test
