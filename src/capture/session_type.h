#pragma once

namespace zarvex {

// The kind of desktop session this process runs in. It picks the capture
// backends once, at start: a Wayland session records through the desktop's
// screen-cast service even when Xwayland provides an X display beside it.
enum class SessionType { x11, wayland };

// The session named by the values of WAYLAND_DISPLAY and XDG_SESSION_TYPE
// (null when unset): Wayland when either says so.
SessionType sessionTypeOf(const char* waylandDisplay, const char* xdgSessionType);

// The session of this process's environment.
SessionType currentSessionType();

}  // namespace zarvex
