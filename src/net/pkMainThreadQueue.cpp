#include "net/pkMainThreadQueue.h"

#include <chrono>

namespace tw {

TpkMainThreadQueue& TpkMainThreadQueue::Instance() {
    static TpkMainThreadQueue queue;
    return queue;
}

void TpkMainThreadQueue::Acquire() {
    std::lock_guard<std::mutex> guard(lock_);
    if (references_++ == 0) main_ = std::this_thread::get_id();
}

void TpkMainThreadQueue::Release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (--references_ == 0) main_ = std::thread::id();
}

bool TpkMainThreadQueue::OnMainThread() const {
    std::lock_guard<std::mutex> guard(lock_);
    return main_ == std::this_thread::get_id();
}

void TpkMainThreadQueue::Send(const std::function<void()>& job) {
    std::unique_lock<std::mutex> guard(lock_);
    if (references_ == 0 || main_ == std::this_thread::get_id()) {
        guard.unlock();
        job();
        return;
    }
    Job entry{&job};
    jobs_.push_back(&entry);
    ++signals_;
    changed_.notify_all();
    changed_.wait(guard, [&] { return entry.done; });
}

int TpkMainThreadQueue::DeliverPending() {
    int ran = 0;
    std::unique_lock<std::mutex> guard(lock_);
    while (!jobs_.empty()) {
        Job* job = jobs_.front();
        jobs_.pop_front();
        guard.unlock();
        // The job's own guard keeps its exceptions; one that still escapes must not leave its
        // worker blocked for ever.
        try {
            (*job->run)();
        } catch (...) {
        }
        guard.lock();
        job->done = true;  // the worker may free `job` as soon as the lock is let go
        ++ran;
        changed_.notify_all();
    }
    return ran;
}

std::uint64_t TpkMainThreadQueue::Signals() const {
    std::lock_guard<std::mutex> guard(lock_);
    return signals_;
}

void TpkMainThreadQueue::Signal() {
    std::lock_guard<std::mutex> guard(lock_);
    ++signals_;
    changed_.notify_all();
}

bool TpkMainThreadQueue::WaitForSignal(std::uint64_t seen, int ms) {
    std::unique_lock<std::mutex> guard(lock_);
    auto moved = [&] { return signals_ != seen; };
    if (ms < 0) {
        changed_.wait(guard, moved);
        return true;
    }
    return changed_.wait_for(guard, std::chrono::milliseconds(ms), moved);
}

}  // namespace tw
