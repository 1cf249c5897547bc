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

// True when the Wayland compositor of this environment accepts connections:
// the socket WAYLAND_DISPLAY names (an absolute path, or a name in
// XDG_RUNTIME_DIR; "wayland-0" when unset, as for every Wayland client).
bool waylandCompositorReachable();

// What a Wayland session without a reachable compositor is told.
extern const char* const kNoWaylandCompositor;

}  // namespace zarvex
