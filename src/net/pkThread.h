#pragma once
// Worker threads that report on the main thread. TpkCustomThread is a component owning one
// TpkEventThread at a time: it starts it, optionally waits for it while the user interface keeps
// running, and replaces it when it has to be stopped by force. Handlers handed to Synchronize run
// on the main thread while the worker waits for them.
//
// Every build runs the work on a thread of its own. Windows brings notifications back by a
// blocking message (0x8FFF) to one hidden window of class "TpkThreadWindow"; the native build
// queues them on TMainThreadQueue, which the main thread empties whenever it waits.
//
// What the two threads share: the flags below are atomic; the handlers and HandleExceptions are
// copied into the thread object when it starts, so the worker never reads the component; whether
// the component is going is looked at on the main thread, when a handler is delivered.
#include "base/pkClasses.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace tw {

class TpkCustomThread;

// Thrown by the work to end the worker at once: no terminate handler runs for that run.
struct TpkThreadEnd {};

using TpkThreadExecuteEvent = std::function<void(TpkCustomThread& sender)>;
using TpkThreadExceptionEvent = std::function<void(TpkCustomThread& sender, std::exception_ptr error)>;
using TpkThreadNotifyEvent = std::function<void(TpkCustomThread& sender)>;
using TpkThreadWaitTimeoutExpired = std::function<void(TpkComponent& sender, bool& terminateThread)>;

// Priority indexes 0-6 and the platform's thread priorities (idle -15 ... time critical 15).
int PriorityIndexToPlatform(int index);  // an index outside 0-6 gives normal (0)
int PlatformToPriorityIndex(int value);  // a value not in the table gives 3

// One run of a worker thread. Made suspended; used for one run; freed by its TpkCustomThread.
class TpkEventThread {
public:
    explicit TpkEventThread(TpkCustomThread& owner);
    ~TpkEventThread();  // sets Terminated, waits for a started thread, releases the hidden window
    TpkEventThread(const TpkEventThread&) = delete;
    TpkEventThread& operator=(const TpkEventThread&) = delete;

    // On the worker: runs `handler` on the main thread and returns when it has run. An exception
    // it raised is raised again here when the owner's HandleExceptions is false, else dropped.
    // Skipped while the owning component is being destroyed.
    void Synchronize(const std::function<void()>& handler);

    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Running() const { return running_; }
    // Given up by its component (replaced while one of its own handlers ran on the main thread):
    // the worker ends as soon as that handler returns, without running anything else.
    bool Abandoned() const { return abandoned_; }
    void Abandon() { abandoned_ = true; terminated_ = true; }
    // True on the main thread while a handler of this thread runs there.
    bool Delivering() const { return delivering_; }
    // For a thread object whose component goes while one of its handlers runs: nobody can wait
    // for the worker then (it waits for that handler), so the worker frees the object as it ends.
    void FreeWhenEnded() { freeWhenEnded_ = true; }
    bool FreedWhenEnded() const { return freeWhenEnded_; }
    bool Suspended() const { return suspended_; }
    void SetSuspended(bool value);
    // The thread's exit code once it ended. On the main thread synchronised handlers keep being
    // delivered meanwhile, so a worker blocked in Synchronize can finish.
    std::uint32_t WaitFor();
    int Priority() const;
    void SetPriority(int index);

    std::atomic<std::uint32_t> ReturnValue{0};

    // The thread object whose work runs on the calling thread, or null.
    static TpkEventThread* Current();
    TpkCustomThread& OwnerComponent() const { return owner_; }
    // Workers killed by the operating system since the process started (see Kill).
    static int KillCount();

    // Platform parts.
    struct Platform;  // the operating-system thread, per build
    Platform& PlatformPart() const { return *platform_; }
    bool Ended() const;    // its thread has run and returned
    // Stops the thread for good, from the main thread: the worker is given up (it ends at its
    // next check or synchronisation without running anything else), the component's OnUnblock
    // makes a blocked platform call return, and the worker is waited for, handlers delivered
    // meanwhile. Only on Windows, and only after a grace period, is a worker that is still
    // blocked killed (counted by KillCount). Returns when it has ended.
    void Kill();
    void Resume();
    void RunThreadProcedure();  // the body of the thread procedure
    void DeliverSynchronized();  // called on the main thread by the hidden window or the queue

private:
    void TakeHandlers();  // copies the component's handlers for the worker (main thread)
    void Unblock();       // the component's OnUnblock, guarded (main thread)
    void RunTerminateStep();

    TpkCustomThread& owner_;
    std::unique_ptr<Platform> platform_;
    int priority_ = 3;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> delivering_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<bool> freeWhenEnded_{false};
    // Handed over by the worker before it waits for the main thread, read there; the hand-over
    // itself orders the two sides.
    const std::function<void()>* pending_ = nullptr;
    std::exception_ptr pendingError_;
    // The component's handlers as they were when the thread started.
    TpkThreadExecuteEvent execute_;
    TpkThreadExceptionEvent onException_;
    TpkThreadNotifyEvent onTerminate_;
    bool handleExceptions_ = true;
};

class TpkCustomThread : public TpkComponent {
public:
    explicit TpkCustomThread(TpkComponent* owner = nullptr);
    ~TpkCustomThread() override;  // a running worker is given up and ended (see Kill)
    const char* ClassName() const override { return "TpkCustomThread"; }

    // Replaces the thread object by a fresh suspended one, resumes it and, with WaitThread, waits
    // (handling messages) until it ends. True when it was started and, if waited for, finished or
    // was left running; false when a wait timed out and OnWaitTimeoutExpired chose to terminate.
    bool Run();
    // Soft: sets the thread object's Terminated flag. Hard: ends a running worker (see Kill) and
    // puts a fresh suspended thread object in its place.
    void Terminate(bool hard);
    // From the worker: `handler` on the main thread; nothing while the owner is being destroyed.
    void Synchronize(const std::function<void()>& handler);
    void Suspend();
    // Before the work's own state goes: ends a running worker (see Kill) and returns when it has
    // ended (from inside one of its handlers, gives it up instead, to end when the handler returns).
    void EndWorker();
    // For the work: whether the thread object it runs on was asked to stop (or given up).
    bool StopRequested() const;

    bool Suspended() const;
    void SetSuspended(bool value);
    bool Running() const { return thread_ && thread_->Running(); }
    bool Terminated() const { return thread_ && thread_->Terminated(); }
    int Priority() const { return priority_; }
    void SetPriority(int index);
    std::uint32_t WaitFor() { return thread_->WaitFor(); }
    TpkEventThread& Thread() { return *thread_; }

    bool HandleExceptions = true;
    bool WaitThread = false;
    std::uint32_t WaitTimeout = 0;  // ms for one wait; 0 = without limit

    TpkThreadExecuteEvent OnExecute;      // on the worker
    TpkThreadExceptionEvent OnException;  // on the main thread
    TpkThreadNotifyEvent OnTerminate;     // on the main thread
    TpkThreadWaitTimeoutExpired OnWaitTimeoutExpired;  // on the main thread, inside the wait
    // On the main thread when a running worker is given up by force (Kill, EndWorker, hard
    // Terminate), before it is waited for: the work closes what its worker may be blocked in
    // (the HTTP component its internet handles), so the worker returns and ends by itself.
    std::function<void()> OnUnblock;

protected:
    void Loaded() override;

private:
    void ReplaceThread();
    bool WaitForWorker();  // the WaitThread loop of Run (platform)

    void ReleaseRetired(bool all);
    static void Dispose(std::unique_ptr<TpkEventThread> thread);

    std::unique_ptr<TpkEventThread> thread_;
    // Thread objects replaced while one of their handlers was running on the main thread; they
    // are freed once that handler has returned and the thread has ended.
    std::vector<std::unique_ptr<TpkEventThread>> retired_;
    int priority_ = 3;
    bool suspendedSetting_ = true;
};

}  // namespace tw
