#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "capture/input_monitor.h"

namespace zarvex::testing {

// A global monitor driven by the test: press() hands a press to the installed
// handler on the calling thread, as the real monitor would on its own.
class FakeInputMonitor : public InputMonitor {
  public:
    std::unique_ptr<InputMonitorToken> addGlobalMonitor(MouseEventMask mask,
                                                        Handler handler) override {
        auto state = std::make_shared<Installed>(Installed{mask, std::move(handler)});
        installed_ = state;
        ++installCount_;
        return std::make_unique<Token>(state);
    }

    // True when delivered (a monitor is installed and its mask has the type).
    bool press(MouseEventType type, double seconds, Point location) {
        auto state = installed_.lock();
        if (!state || (state->mask & eventMask(type)) == 0) {
            return false;
        }
        state->handler(MouseEvent{
            type, std::chrono::duration_cast<HostTime>(std::chrono::duration<double>(seconds)),
            location});
        return true;
    }

    bool installed() const { return !installed_.expired(); }
    int installCount() const { return installCount_; }
    std::optional<MouseEventMask> mask() const {
        auto state = installed_.lock();
        return state ? std::optional(state->mask) : std::nullopt;
    }

  private:
    struct Installed {
        MouseEventMask mask;
        Handler handler;
    };
    struct Token : InputMonitorToken {
        explicit Token(std::shared_ptr<Installed> state) : state(std::move(state)) {}
        std::shared_ptr<Installed> state;
    };

    std::weak_ptr<Installed> installed_;
    int installCount_ = 0;
};

}  // namespace zarvex::testing
