#include "capture/clock.h"

#include <thread>

namespace zarvex {
namespace {

class MonotonicClock final : public Clock {
  public:
    HostTime now() const override {
        return std::chrono::duration_cast<HostTime>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void sleepUntil(HostTime deadline) const override {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(deadline)));
    }
};

}  // namespace

const Clock& systemClock() {
    static const MonotonicClock clock;
    return clock;
}

}  // namespace zarvex
