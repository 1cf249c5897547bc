#include "capture/x11/server_time.h"

#include <chrono>
#include <cstdlib>

namespace zarvex::x11 {
namespace {

std::int64_t milliseconds(HostTime time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time).count();
}

}  // namespace

ServerTime ServerTime::calibrated(std::uint32_t serverMs, HostTime hostTime) {
    const auto hostLow = static_cast<std::uint32_t>(milliseconds(hostTime));
    const auto offset = static_cast<std::int32_t>(serverMs - hostLow);
    ServerTime time;
    if (std::llabs(offset) > kSameClockToleranceMs) {
        time.offsetMs_ = offset;
    }
    return time;
}

HostTime ServerTime::toHost(std::uint32_t serverMs, HostTime now) const {
    const std::int64_t nowMs = milliseconds(now);
    const std::uint32_t hostLow = serverMs - static_cast<std::uint32_t>(offsetMs_);
    // The signed 32-bit distance picks the nearest candidate on either side
    // of a wrap.
    const auto distance = static_cast<std::int32_t>(hostLow - static_cast<std::uint32_t>(nowMs));
    return std::chrono::milliseconds(nowMs + distance);
}

}  // namespace zarvex::x11
