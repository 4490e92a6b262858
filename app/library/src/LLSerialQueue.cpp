#include "LLSerialQueue.h"

namespace library {

LLSerialQueue::LLSerialQueue()
    : worker_([state = state_] { run(state); }), workerID_(worker_.get_id()) {}

LLSerialQueue::~LLSerialQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    // A job cannot wait for itself: the worker then finishes the queue on its own.
    if (isWorkerThread())
        worker_.detach();
    else
        worker_.join();
}

void LLSerialQueue::async(std::function<void()> job) {
    {
        std::lock_guard lock(state_->mutex);
        state_->jobs.push_back(std::move(job));
    }
    state_->changed.notify_all();
}

void LLSerialQueue::waitUntilIdle() {
    if (isWorkerThread()) return;
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->jobs.empty() && !state_->busy; });
}

void LLSerialQueue::run(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return state->stopping || !state->jobs.empty(); });
        if (state->jobs.empty()) return;  // stopping and nothing left
        auto job = std::move(state->jobs.front());
        state->jobs.pop_front();
        state->busy = true;
        lock.unlock();
        job();
        // A job may hold the last owner of the queue: let go of it before taking the lock the
        // queue's destructor takes.
        job = nullptr;
        lock.lock();
        state->busy = false;
        state->changed.notify_all();
    }
}

}  // namespace library
