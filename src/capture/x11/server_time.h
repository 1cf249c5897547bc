#pragma once

// X server timestamps are milliseconds in 32 bits that wrap every 49.7 days.
// A local Linux server counts them on CLOCK_MONOTONIC, the host clock, so the
// full time is the host-clock millisecond nearest to "now" with the same low
// 32 bits. A server on another machine counts from elsewhere; its measured
// offset moves its stamps onto the host clock first.

#include <cstdint>

#include "capture/clock.h"

namespace zarvex::x11 {

class ServerTime {
  public:
    // Offsets of at most this much are the two readings of one clock (the
    // server may use the coarse monotonic clock, which lags by a few ms).
    static constexpr std::int64_t kSameClockToleranceMs = 1000;

    ServerTime() = default;

    // From one server timestamp and the host-clock instant it was taken at.
    static ServerTime calibrated(std::uint32_t serverMs, HostTime hostTime);

    // The host-clock instant of a server timestamp taken near `now`.
    HostTime toHost(std::uint32_t serverMs, HostTime now) const;

    std::int32_t offsetMs() const { return offsetMs_; }

  private:
    std::int32_t offsetMs_ = 0;  // server − host, modulo 2^32
};

}  // namespace zarvex::x11
