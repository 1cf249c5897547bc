#include "manual_scheduler.h"

#include <algorithm>

namespace zarvex::testing {

class ManualScheduler::Task : public ScheduledTask {
  public:
    Task(ManualScheduler& scheduler, int id) : scheduler_(scheduler), id_(id) {}
    ~Task() override { scheduler_.entries_.erase(id_); }

  private:
    ManualScheduler& scheduler_;
    int id_;
};

std::unique_ptr<ScheduledTask> ManualScheduler::schedule(Clock delay,
                                                         std::function<void()> action) {
    return add(delay, Clock{0}, std::move(action));
}

std::unique_ptr<ScheduledTask> ManualScheduler::scheduleRepeating(Clock interval,
                                                                  std::function<void()> action) {
    return add(interval, interval, std::move(action));
}

std::unique_ptr<ScheduledTask> ManualScheduler::add(Clock delay, Clock interval,
                                                    std::function<void()> action) {
    const int id = nextID_++;
    entries_.emplace(id, Entry{now_ + delay, interval, std::move(action)});
    return std::make_unique<Task>(*this, id);
}

void ManualScheduler::advance(Clock by) {
    const Clock target = now_ + by;
    while (true) {
        // The earliest due entry (ties: the one scheduled first).
        auto next = std::min_element(entries_.begin(), entries_.end(),
                                     [](auto& a, auto& b) { return a.second.due < b.second.due; });
        if (next == entries_.end() || next->second.due > target) {
            break;
        }
        now_ = next->second.due;
        std::function<void()> action = next->second.action;
        if (next->second.interval > Clock{0}) {
            next->second.due += next->second.interval;
        } else {
            entries_.erase(next);  // ran once; its task may still be destroyed later
        }
        action();
    }
    now_ = target;
}

}  // namespace zarvex::testing
