#pragma once
// Threads that stay for the next job. Under Wine starting a thread costs more than a short job
// (every loaded library hears of it), so work that comes every few seconds reuses an idle thread
// and starts a new one only while all are busy: jobs never wait for one another.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tw {

class TIdleWorkers {
public:
    TIdleWorkers();
    TIdleWorkers(const TIdleWorkers&) = delete;
    TIdleWorkers& operator=(const TIdleWorkers&) = delete;
    // Idle threads end at once; every job handed in still runs to its end on its thread, which
    // then ends. Nothing waits for them, so a job must not touch its pool's owner.
    ~TIdleWorkers();

    // Raises std::system_error when all threads are busy and no new one can start.
    void Run(std::function<void()> job);
    int Threads() const;      // started and not yet ended
    int IdleThreads() const;  // of those, waiting for a job

private:
    struct State {
        std::mutex Lock;
        std::condition_variable Wake;
        std::deque<std::function<void()>> Jobs;
        int Idle = 0;
        int Threads = 0;
        bool Stop = false;
    };
    static void Work(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace tw
