#include "net/pkThread.h"

#include "base/Unhandled.h"

#include <utility>

namespace tw {

namespace {
constexpr int kPriorities[7] = {-15, -2, -1, 0, 1, 2, 15};
thread_local TpkEventThread* tCurrent = nullptr;

// Marks the thread object whose work runs on this thread for the time of one procedure.
class CurrentScope {
public:
    explicit CurrentScope(TpkEventThread* t) : previous_(tCurrent) { tCurrent = t; }
    ~CurrentScope() { tCurrent = previous_; }
    CurrentScope(const CurrentScope&) = delete;
    CurrentScope& operator=(const CurrentScope&) = delete;

private:
    TpkEventThread* previous_;
};
}  // namespace

TpkEventThread* TpkEventThread::Current() { return tCurrent; }

int PriorityIndexToPlatform(int index) {
    if (index < 0 || index > 6) return 0;
    return kPriorities[index];
}

int PlatformToPriorityIndex(int value) {
    for (int i = 0; i < 7; ++i)
        if (kPriorities[i] == value) return i;
    return 3;
}

// The thread procedure's body, the same on every platform; it runs on the worker and reaches
// the component only through the handlers copied when it started.
void TpkEventThread::RunThreadProcedure() {
    if (terminated_) return;  // stopped before it ever ran: nothing runs, not even the terminate step
    CurrentScope current(this);
    running_ = true;
    bool ended = false;  // the work asked to end at once
    try {
        if (execute_) execute_(owner_);
    } catch (const TpkThreadEnd&) {
        ended = true;
    } catch (...) {
        if (!handleExceptions_) {
            // Unguarded: the exception ends the thread; nothing else runs (and nothing unwinds
            // out of the thread procedure, which would end the process).
            running_ = false;
            return;
        }
        std::exception_ptr error = std::current_exception();
        if (onException_) {
            try {
                // Not delivered when the component is going (looked at on the main thread).
                Synchronize([this, error] { onException_(owner_, error); });
            } catch (const TpkThreadEnd&) {
                ended = true;
            } catch (...) {
            }
        }
    }
    if (!ended && onTerminate_ && !abandoned_) {
        try {
            Synchronize([this] { RunTerminateStep(); });
        } catch (...) {
        }
    }
    running_ = false;
}

// On the main thread: the terminate handler, guarded as the component asked.
void TpkEventThread::RunTerminateStep() {
    if (!handleExceptions_) {
        onTerminate_(owner_);
        return;
    }
    try {
        onTerminate_(owner_);
    } catch (...) {
        // Already on the main thread: the exception handler is called directly.
        if (onException_) {
            try {
                onException_(owner_, std::current_exception());
            } catch (...) {
            }
        }
    }
}

void TpkEventThread::TakeHandlers() {
    execute_ = owner_.OnExecute;
    onException_ = owner_.OnException;
    onTerminate_ = owner_.OnTerminate;
    handleExceptions_ = owner_.HandleExceptions;
}

void TpkEventThread::Unblock() {
    if (!owner_.OnUnblock) return;
    try {
        owner_.OnUnblock();
    } catch (...) {
        ReportUnhandled(std::current_exception());  // the worker is still to be ended
    }
}

// A worker that was started and has not ended, whether or not its work has begun yet.
static bool Live(const TpkEventThread& thread) {
    return thread.Running() || (!thread.Suspended() && !thread.Ended());
}

TpkCustomThread::TpkCustomThread(TpkComponent* owner) : TpkComponent(owner) {
    thread_ = std::make_unique<TpkEventThread>(*this);
}

TpkCustomThread::~TpkCustomThread() {
    Destroying();
    EndWorker();
    Dispose(std::move(thread_));
    ReleaseRetired(true);
}

// Frees a thread object, which waits for its worker, unless one of its handlers is running now:
// that worker waits for the handler, so it is left to free the object itself as it ends.
void TpkCustomThread::Dispose(std::unique_ptr<TpkEventThread> thread) {
    if (thread && thread->Delivering()) {
        thread->FreeWhenEnded();
        thread.release();
    }
}

void TpkCustomThread::EndWorker() {
    if (!thread_) return;
    if (thread_->Delivering()) {
        // Called from inside one of its own handlers: the worker ends when the handler returns.
        thread_->Abandon();
    } else if (Live(*thread_)) {
        thread_->Kill();
    }
}

void TpkCustomThread::Loaded() {
    TpkComponent::Loaded();
    SetSuspended(suspendedSetting_);
}

bool TpkCustomThread::Suspended() const { return thread_ ? thread_->Suspended() : suspendedSetting_; }

void TpkCustomThread::SetSuspended(bool value) {
    suspendedSetting_ = value;
    if (IsLoading()) return;  // applied when loading ends
    if (thread_) thread_->SetSuspended(value);
}

void TpkCustomThread::Suspend() {
    if (thread_) thread_->SetSuspended(true);
}

void TpkCustomThread::SetPriority(int index) {
    if (index < 0 || index > 6) index = 3;
    priority_ = index;
    if (thread_) thread_->SetPriority(index);
}

void TpkCustomThread::ReleaseRetired(bool all) {
    for (auto it = retired_.begin(); it != retired_.end();) {
        if ((*it)->Delivering() && !all) {
            ++it;
            continue;
        }
        Dispose(std::move(*it));  // waits for the (ending) thread
        it = retired_.erase(it);
    }
}

void TpkCustomThread::ReplaceThread() {
    ReleaseRetired(false);
    if (thread_ && thread_->Delivering()) {
        // Replaced from inside one of its own handlers: killing the worker would pull the
        // handler's state out from under the main thread, so it is abandoned instead.
        thread_->Abandon();
        retired_.push_back(std::move(thread_));
    } else if (thread_ && Live(*thread_)) {
        thread_->Kill();
    }
    auto fresh = std::make_unique<TpkEventThread>(*this);
    fresh->SetPriority(priority_);
    std::swap(thread_, fresh);
    fresh.reset();  // the old object: its thread has ended or was killed
}

bool TpkCustomThread::Run() {
    ReplaceThread();
    const bool wait = WaitThread;  // read first: a handler run meanwhile may end this component
    thread_->Resume();
    return !wait || WaitForWorker();
}

void TpkCustomThread::Terminate(bool hard) {
    if (!thread_) return;
    if (hard) {
        ReplaceThread();
    } else {
        thread_->Terminate();
    }
}

// The worker synchronises through its own thread object: the component's current one may
// already be a replacement made on the main thread.
static TpkEventThread* WorkerObject(const TpkCustomThread& component, TpkEventThread* fallback) {
    TpkEventThread* current = TpkEventThread::Current();
    return current != nullptr && &current->OwnerComponent() == &component ? current : fallback;
}

// Whether the component or its owner is going is looked at on the main thread, in the delivery:
// the worker never reads the component's state.
void TpkCustomThread::Synchronize(const std::function<void()>& handler) {
    WorkerObject(*this, thread_.get())->Synchronize(handler);
}

bool TpkCustomThread::StopRequested() const {
    TpkEventThread* t = WorkerObject(*this, thread_.get());
    return t == nullptr || t->Terminated() || t->Abandoned();
}

// Runs the pending handler on the calling (main) thread unless its worker was given up or its
// owner is being destroyed; an exception is kept for the worker to decide about.
void TpkEventThread::DeliverSynchronized() {
    if (pending_ == nullptr) return;
    // A worker given up while its handler waited here gets nothing more run for it: the main
    // thread may be inside the very call that gave it up (a hard abort, a second Run).
    if (abandoned_) return;
    if (owner_.IsDestroying() || (owner_.Owner() != nullptr && owner_.Owner()->IsDestroying())) return;
    delivering_ = true;
    try {
        (*pending_)();
    } catch (...) {
        pendingError_ = std::current_exception();  // kept for the worker to decide about
    }
    delivering_ = false;
}

}  // namespace tw
