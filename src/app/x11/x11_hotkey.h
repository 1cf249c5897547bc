#pragma once

// The global hotkey and compositing check on X11. No XCB types here.

#include <memory>
#include <optional>
#include <string>

#include "app/global_hotkey.h"

namespace zarvex {

// XGrabKey on the root window, on a connection of its own read through the
// main thread's event loop: the combination is grabbed with every
// NumLock/CapsLock state, re-grabbed when the keyboard mapping changes, and a
// grab another client holds (BadAccess) fails the whole grab. Throws
// ScreenCaptureError when the display cannot be opened.
std::unique_ptr<GlobalHotkey> makeX11GlobalHotkey(
    const std::optional<std::string>& displayName = std::nullopt);

// Whether a compositing manager runs on the display's first screen (someone
// owns the _NET_WM_CM_S0 selection); false when the display cannot be opened.
bool compositingManagerRunning(const std::optional<std::string>& displayName = std::nullopt);

}  // namespace zarvex
