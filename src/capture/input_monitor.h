#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "capture/clock.h"
#include "model/geometry.h"

namespace zarvex {

// Mouse-button presses a global monitor can report. Each type's mask bit is
// 1 << its value, so left and right together make the mask 10.
enum class MouseEventType { leftMouseDown = 1, rightMouseDown = 3 };

using MouseEventMask = std::uint64_t;

constexpr MouseEventMask eventMask(MouseEventType type) {
    return MouseEventMask{1} << static_cast<int>(type);
}

// One press anywhere on the desktop, also over other applications' windows.
struct MouseEvent {
    MouseEventType type = MouseEventType::leftMouseDown;
    HostTime timestamp{};  // when the press happened, on the host clock
    // The pointer position read while the press is handled (for a press, where
    // it happened), in global display coordinates (points, y down).
    Point location;
};

// An installed monitor; destroying it removes the monitor.
class InputMonitorToken {
  public:
    virtual ~InputMonitorToken() = default;
};

// Port: system-wide mouse-button presses. The handler runs on a thread of the
// monitor's own, one call at a time and never after the token's destructor has
// returned (the destructor waits for a running call), so the handler may use
// whatever outlives the token.
class InputMonitor {
  public:
    virtual ~InputMonitor() = default;

    using Handler = std::function<void(const MouseEvent&)>;

    // Starts delivering the presses whose mask bits are in `mask`. Presses made
    // after this returns are delivered. Throws ScreenCaptureError when the
    // window system cannot be reached.
    virtual std::unique_ptr<InputMonitorToken> addGlobalMonitor(MouseEventMask mask,
                                                                Handler handler) = 0;
};

}  // namespace zarvex
