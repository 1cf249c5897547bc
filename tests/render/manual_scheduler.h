#pragma once

#include <chrono>
#include <map>
#include <memory>

#include "render/task_scheduler.h"

namespace zarvex::testing {

// Timers on a clock that moves only when the test says so: advance() runs,
// in time order, every action that falls due, so timing tests cannot flake.
class ManualScheduler : public TaskScheduler {
  public:
    using Clock = std::chrono::milliseconds;

    std::unique_ptr<ScheduledTask> schedule(Clock delay, std::function<void()> action) override;
    std::unique_ptr<ScheduledTask> scheduleRepeating(Clock interval,
                                                     std::function<void()> action) override;

    // Moves the clock forward by `by`, running what falls due on the way.
    void advance(Clock by);
    // Actions waiting to run.
    std::size_t pendingCount() const { return entries_.size(); }

  private:
    struct Entry {
        Clock due;
        Clock interval;  // zero: runs once
        std::function<void()> action;
    };
    class Task;

    std::unique_ptr<ScheduledTask> add(Clock delay, Clock interval, std::function<void()> action);

    Clock now_{0};
    int nextID_ = 0;
    std::map<int, Entry> entries_;
};

}  // namespace zarvex::testing
