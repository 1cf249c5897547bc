#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/global_hotkey.h"

namespace zarvex {

// The shortcut as the desktop's shortcut settings write a preferred trigger
// ("CTRL+SHIFT+g"): modifiers in the order CTRL, ALT, SHIFT, LOGO, then the
// key's keysym name; empty for a key without a known name.
std::string preferredTrigger(const KeyCombination& keys);

// The global hotkey of a Wayland session: the desktop's shortcut service
// (org.freedesktop.portal.GlobalShortcuts) binds "toggle-recording", "Start
// or stop recording", offering the stored shortcut as its preferred trigger;
// the desktop owns the binding from then on (the user changes it in the
// desktop's settings). Every call is asynchronous: the main thread never
// waits for the desktop. Main thread only.
class PortalHotkey final : public GlobalHotkey {
  public:
    // `onAvailable` is told once whether the desktop has the service.
    explicit PortalHotkey(std::function<void(bool available)> onAvailable);
    ~PortalHotkey() override;

    // The first grab binds the shortcut (with `keys` as the preferred
    // trigger); later ones only listen again. False once the desktop is known
    // to have no shortcut service.
    bool grab(const KeyCombination& keys) override;
    // Presses are ignored until the next grab.
    void release() override;

  private:
    class Session;
    std::unique_ptr<Session> session_;
};

}  // namespace zarvex
