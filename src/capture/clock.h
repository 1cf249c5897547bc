#pragma once

#include <chrono>

#include "media/media_time.h"

namespace zarvex {

// Host time: nanoseconds on CLOCK_MONOTONIC (std::chrono::steady_clock on
// Linux). T0 of a recording is read from it once; every capture backend stamps
// its samples on it (X frames at grab time, PulseAudio chunks at now − the
// stream's latency, V4L2 buffers by their monotonic kernel timestamps, X input events
// unwrapped from server milliseconds).
using HostTime = std::chrono::nanoseconds;

inline constexpr std::int32_t kHostTimescale = 1'000'000'000;

inline MediaTime toMediaTime(HostTime time) {
    return {time.count(), kHostTimescale};
}
inline double toSeconds(HostTime time) {
    return std::chrono::duration<double>(time).count();
}

// Port: the host clock. The system clock is thread-safe; fakes let tests drive
// pacing and T0 deterministically.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual HostTime now() const = 0;
    // Blocks the calling thread until now() ≥ deadline (returns at once when it is).
    virtual void sleepUntil(HostTime deadline) const = 0;
};

// The process-wide CLOCK_MONOTONIC clock.
const Clock& systemClock();

}  // namespace zarvex
