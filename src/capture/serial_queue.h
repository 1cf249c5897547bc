#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

namespace zarvex {

// One named thread that runs the jobs posted to it one at a time, in order.
// A service that must be used from one thread only lives behind one.
//
// Threads: post() and sync() from any thread. Destruction runs what was
// posted before it, then ends the thread; it must not happen on the queue's
// own thread.
class SerialQueue {
  public:
    explicit SerialQueue(std::string name);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Jobs must not throw; what they throw is dropped.
    void post(std::function<void()> job);

    // Runs `job` on the queue and waits for it; returns its result or throws
    // what it threw. Called on the queue's own thread, it runs the job at once.
    template <typename Job>
    std::invoke_result_t<Job&> sync(Job job) {
        using Result = std::invoke_result_t<Job&>;
        if (isCurrent()) {
            return job();
        }
        std::packaged_task<Result()> task(std::move(job));
        std::future<Result> done = task.get_future();
        post([&task] { task(); });
        return done.get();
    }

    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace zarvex
