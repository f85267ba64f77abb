#include "base/IdleWorkers.h"

#include <thread>

namespace tw {

TIdleWorkers::TIdleWorkers() : state_(std::make_shared<State>()) {}

TIdleWorkers::~TIdleWorkers() {
    {
        std::lock_guard<std::mutex> lock(state_->Lock);
        state_->Stop = true;
    }
    state_->Wake.notify_all();
}

void TIdleWorkers::Run(std::function<void()> job) {
    std::unique_lock<std::mutex> lock(state_->Lock);
    state_->Jobs.push_back(std::move(job));
    if (state_->Idle >= static_cast<int>(state_->Jobs.size())) {
        lock.unlock();
        state_->Wake.notify_one();
        return;
    }
    try {
        std::thread(Work, state_).detach();
        ++state_->Threads;
    } catch (...) {
        state_->Jobs.pop_back();
        throw;
    }
}

int TIdleWorkers::Threads() const {
    std::lock_guard<std::mutex> lock(state_->Lock);
    return state_->Threads;
}

int TIdleWorkers::IdleThreads() const {
    std::lock_guard<std::mutex> lock(state_->Lock);
    return state_->Idle;
}

void TIdleWorkers::Work(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->Lock);
    for (;;) {
        ++state->Idle;
        state->Wake.wait(lock, [&] { return state->Stop || !state->Jobs.empty(); });
        --state->Idle;
        if (state->Jobs.empty()) break;  // stopped, and every job handed in has run
        std::function<void()> job = std::move(state->Jobs.front());
        state->Jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // its captures go on this thread, before it waits again
        lock.lock();
    }
    --state->Threads;
}

}  // namespace tw
