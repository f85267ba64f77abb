// Native stand-in for the worker thread: there is no message loop here, so the work runs inline
// on the thread that calls Run and synchronised handlers are called directly. The flow that runs
// on it is the same portable code the Windows build runs on a real thread.
#include "net/pkThread.h"

#include <utility>

namespace tw {

TpkEventThread::TpkEventThread(TpkCustomThread& owner) : owner_(owner) {}

TpkEventThread::~TpkEventThread() { terminated_ = true; }

void TpkEventThread::AcquireWindow() {}
void TpkEventThread::ReleaseWindow() {}

void TpkEventThread::Resume() { SetSuspended(false); }

void TpkEventThread::SetSuspended(bool value) {
    if (value == suspended_) return;
    suspended_ = value;
    if (value) return;
    RunThreadProcedure();
    if (freeWhenEnded_) delete this;  // its component went during the (inline) work
}

std::uint32_t TpkEventThread::WaitFor() { return ReturnValue; }

int TpkEventThread::Priority() const { return priority_; }
void TpkEventThread::SetPriority(int index) { priority_ = index; }

void TpkEventThread::Kill() {
    // Inline work cannot be killed; it is given up and ends at its next check.
    abandoned_ = true;
    terminated_ = true;
    running_ = false;
}

void TpkEventThread::Synchronize(const std::function<void()>& handler) {
    if (abandoned_) throw TpkThreadEnd{};
    pending_ = &handler;
    pendingError_ = nullptr;
    DeliverSynchronized();
    pending_ = nullptr;
    if (abandoned_) throw TpkThreadEnd{};
    std::exception_ptr error = std::exchange(pendingError_, nullptr);
    if (error && !owner_.HandleExceptions) std::rethrow_exception(error);
}

bool TpkCustomThread::WaitForWorker() { return true; }  // the inline work has already ended

}  // namespace tw
