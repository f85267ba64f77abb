// Native half of the worker threads: a std::thread per run. Synchronised handlers go through
// TMainThreadQueue, which the main thread empties whenever it waits (WaitFor, the wait of Run,
// the test pump). Nothing is ever killed here: a worker that was given up is waited for.
#include "net/pkThread.h"

#include "net/MainThreadQueue.h"

#include <thread>
#include <utility>

namespace tw {

struct TpkEventThread::Platform {
    std::thread thread;
    std::atomic<bool> ended{false};  // the thread procedure has returned
};

namespace {
TMainThreadQueue& Queue() { return TMainThreadQueue::Instance(); }

void ThreadProcedure(TpkEventThread* thread, TpkEventThread::Platform* platform) {
    thread->RunThreadProcedure();
    if (thread->FreedWhenEnded()) {
        delete thread;  // its component has gone; nobody joins this thread
    } else {
        platform->ended = true;
    }
    Queue().Signal();  // wakes a main thread waiting for this worker
}
}  // namespace

int TpkEventThread::KillCount() { return 0; }

TpkEventThread::TpkEventThread(TpkCustomThread& owner) : owner_(owner), platform_(std::make_unique<Platform>()) {
    Queue().Acquire();
}

TpkEventThread::~TpkEventThread() {
    terminated_ = true;
    std::thread& t = platform_->thread;
    if (t.joinable() && t.get_id() == std::this_thread::get_id()) {
        t.detach();  // freed by its own worker as it ends
    } else if (t.joinable()) {
        WaitFor();
    }
    Queue().Release();
}

bool TpkEventThread::Ended() const { return platform_->ended; }

void TpkEventThread::Resume() { SetSuspended(false); }

// A std::thread cannot be suspended: the thread object starts its thread on the first resume,
// and a later suspension only marks it.
void TpkEventThread::SetSuspended(bool value) {
    if (value == suspended_) return;
    suspended_ = value;
    if (value || platform_->thread.joinable() || platform_->ended) return;
    TakeHandlers();
    platform_->thread = std::thread(ThreadProcedure, this, platform_.get());
}

std::uint32_t TpkEventThread::WaitFor() {
    std::thread& t = platform_->thread;
    if (!t.joinable()) return ReturnValue;
    if (Queue().OnMainThread()) {
        // A worker blocked in Synchronize needs this thread to run its handler.
        for (;;) {
            const std::uint64_t seen = Queue().Signals();
            Queue().DeliverPending();
            if (platform_->ended) break;
            Queue().WaitForSignal(seen, -1);
        }
    }
    t.join();
    return ReturnValue;
}

int TpkEventThread::Priority() const { return priority_; }
void TpkEventThread::SetPriority(int index) { priority_ = index; }

void TpkEventThread::Kill() {
    Abandon();
    if (!platform_->thread.joinable()) return;
    Unblock();
    WaitFor();
}

void TpkEventThread::Synchronize(const std::function<void()>& handler) {
    if (abandoned_) throw TpkThreadEnd{};
    pending_ = &handler;
    pendingError_ = nullptr;
    Queue().Send([this] { DeliverSynchronized(); });
    pending_ = nullptr;
    if (abandoned_) throw TpkThreadEnd{};
    std::exception_ptr error = std::exchange(pendingError_, nullptr);
    if (error && !handleExceptions_) std::rethrow_exception(error);
}

bool TpkCustomThread::WaitForWorker() {
    TpkEventThread* waited = thread_.get();
    TMainThreadQueue& queue = Queue();
    const int timeout = WaitTimeout == 0 ? -1 : static_cast<int>(WaitTimeout);
    for (;;) {
        if (thread_.get() != waited) return true;  // replaced by a handler meanwhile
        const std::uint64_t seen = queue.Signals();
        if (queue.DeliverPending() > 0) {
            if (IsDestroying()) return true;
            continue;  // each wait starts the timeout afresh
        }
        if (waited->Ended()) return true;
        if (queue.WaitForSignal(seen, timeout)) continue;
        bool terminate = true;
        if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(*this, terminate);
        if (!terminate) return true;
        if (thread_.get() == waited) ReplaceThread();
        return false;
    }
}

}  // namespace tw
