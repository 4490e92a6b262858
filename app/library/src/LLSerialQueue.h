#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
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
    bool isWorkerThread() const { return std::this_thread::get_id() == worker_.get_id(); }

  private:
    void run();
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace library
