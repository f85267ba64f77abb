#include "net/MainThreadQueue.h"

#include <chrono>

namespace tw {

TMainThreadQueue& TMainThreadQueue::Instance() {
    static TMainThreadQueue queue;
    return queue;
}

void TMainThreadQueue::Acquire() {
    std::lock_guard<std::mutex> guard(lock_);
    if (references_++ == 0) main_ = std::this_thread::get_id();
}

void TMainThreadQueue::Release() {
    std::lock_guard<std::mutex> guard(lock_);
    if (--references_ == 0) main_ = std::thread::id();
}

bool TMainThreadQueue::OnMainThread() const {
    std::lock_guard<std::mutex> guard(lock_);
    return main_ == std::this_thread::get_id();
}

void TMainThreadQueue::Send(const std::function<void()>& job) {
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

int TMainThreadQueue::DeliverPending() {
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

std::uint64_t TMainThreadQueue::Signals() const {
    std::lock_guard<std::mutex> guard(lock_);
    return signals_;
}

void TMainThreadQueue::Signal() {
    std::lock_guard<std::mutex> guard(lock_);
    ++signals_;
    changed_.notify_all();
}

bool TMainThreadQueue::WaitForSignal(std::uint64_t seen, int ms) {
    std::unique_lock<std::mutex> guard(lock_);
    auto moved = [&] { return signals_ != seen; };
    if (ms < 0) {
        changed_.wait(guard, moved);
        return true;
    }
    return changed_.wait_for(guard, std::chrono::milliseconds(ms), moved);
}

}  // namespace tw
