#pragma once

// The global hotkey on X11. No XCB types here.

#include <memory>
#include <optional>
#include <string>

#include "app/global_hotkey.h"

namespace zarvex {

// XGrabKey on the root window, on a connection of its own read through the
// main thread's event loop. The stored modifiers mean Control (command),
// Shift, Alt (option) and Super (control); the combination is grabbed with
// every NumLock/CapsLock state and again when the keyboard mapping changes,
// and a grab another client holds (BadAccess) fails the whole grab. Throws
// ScreenCaptureError when the display cannot be opened.
std::unique_ptr<GlobalHotkey> makeX11GlobalHotkey(
    const std::optional<std::string>& displayName = std::nullopt);

}  // namespace zarvex
