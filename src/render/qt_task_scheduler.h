#pragma once

#include "render/task_scheduler.h"

namespace zarvex {

// Timers on the Qt event loop of the calling (main) thread.
class QtTaskScheduler : public TaskScheduler {
  public:
    std::unique_ptr<ScheduledTask> schedule(std::chrono::milliseconds delay,
                                            std::function<void()> action) override;
    std::unique_ptr<ScheduledTask> scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::function<void()> action) override;
};

}  // namespace zarvex
