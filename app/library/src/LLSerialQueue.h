#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace library {

// One worker thread running jobs in the order they were added.
class LLSerialQueue {
public:
    LLSerialQueue();
    ~LLSerialQueue();  // finishes the queued jobs first
    void async(std::function<void()> job);
    void waitUntilIdle();
    bool isWorkerThread() const { return std::this_thread::get_id() == workerID_; }

private:
    // Shared with the worker, so a job that drops the last owner of the queue leaves the
    // worker a valid state to finish with.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> jobs;
        bool busy = false;
        bool stopping = false;
    };
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread worker_;
    std::thread::id workerID_;
};

}  // namespace library
