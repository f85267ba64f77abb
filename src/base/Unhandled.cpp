#include "base/Unhandled.h"

#include <atomic>
#include <utility>

namespace tw {

namespace {
UnhandledHandler& Handler() {
    static UnhandledHandler handler;
    return handler;
}
std::atomic<int> gCount{0};
}  // namespace

void SetUnhandledHandler(UnhandledHandler handler) { Handler() = std::move(handler); }

void ReportUnhandled(std::exception_ptr error) noexcept {
    ++gCount;
    if (!Handler()) return;
    try {
        Handler()(error);
    } catch (...) {
    }
}

int UnhandledCount() noexcept { return gCount.load(); }

std::string UnhandledText(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unexpected error";
}

}  // namespace tw
