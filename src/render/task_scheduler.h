#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace zarvex {

// A scheduled action; destroying it cancels it (an action that already ran is
// unaffected).
class ScheduledTask {
  public:
    virtual ~ScheduledTask() = default;
};

// Port: timers on the main thread. Actions run on the main thread, never
// inside the call that schedules them. The real one runs on the Qt event loop;
// tests drive a manual clock.
class TaskScheduler {
  public:
    virtual ~TaskScheduler() = default;

    // Runs `action` once, `delay` from now.
    virtual std::unique_ptr<ScheduledTask> schedule(std::chrono::milliseconds delay,
                                                    std::function<void()> action) = 0;
    // Runs `action` every `interval` until the task is destroyed.
    virtual std::unique_ptr<ScheduledTask> scheduleRepeating(std::chrono::milliseconds interval,
                                                             std::function<void()> action) = 0;
};

}  // namespace zarvex
