#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/input_monitor.h"

namespace zarvex::testing {

// A real input monitor that keeps every press it has handed out (once the
// handler has returned), so a test knows when its clicks have been handled.
class CountingMonitor : public InputMonitor {
  public:
    explicit CountingMonitor(InputMonitor& inner) : inner_(inner) {}

    std::unique_ptr<InputMonitorToken> addGlobalMonitor(MouseEventMask mask,
                                                        Handler handler) override {
        return inner_.addGlobalMonitor(mask, [this, handler](const MouseEvent& event) {
            handler(event);
            std::lock_guard lock(mutex_);
            events_.push_back(event);
            changed_.notify_all();
        });
    }

    // Waits until `count` presses in all have been handled.
    bool waitForPresses(std::size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
    }
    std::size_t delivered() const {
        std::lock_guard lock(mutex_);
        return events_.size();
    }
    std::vector<MouseEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    InputMonitor& inner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<MouseEvent> events_;
};

}  // namespace zarvex::testing
