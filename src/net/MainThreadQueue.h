#pragma once
// The main thread's queue of handlers sent by workers, for builds with no hidden window to send
// them to (the native one). A worker hands a handler over and blocks until the main thread has
// run it; the main thread runs what is queued whenever it waits: in WaitFor, in the wait of
// TpkCustomThread::Run and in the test pump.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tw {

class TMainThreadQueue {
public:
    static TMainThreadQueue& Instance();

    // The main thread is the one that made the first thread object; it stays so while any
    // thread object lives. Acquire and Release count them.
    void Acquire();
    void Release();
    bool OnMainThread() const;

    // On a worker: runs `job` on the main thread and returns once it has run there. On the main
    // thread itself (or with no thread object alive) it runs at once.
    void Send(const std::function<void()>& job);
    // On the main thread: runs every job queued so far, and any queued while they run. Answers
    // how many ran.
    int DeliverPending();

    // A counter that moves whenever a job is queued or Signal is called. Read it, look at what
    // you wait for, then WaitForSignal(seen, ...): nothing in between is missed.
    std::uint64_t Signals() const;
    void Signal();  // wakes the main thread's wait, e.g. when a worker ends
    // Waits until the counter differs from `seen` or `ms` pass (ms < 0: without limit). True when
    // it moved.
    bool WaitForSignal(std::uint64_t seen, int ms);

private:
    struct Job {
        const std::function<void()>* run;
        bool done = false;
    };

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Job*> jobs_;
    std::uint64_t signals_ = 0;
    int references_ = 0;
    std::thread::id main_;
};

}  // namespace tw
