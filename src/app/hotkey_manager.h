#pragma once

#include <functional>
#include <memory>

#include "app/global_hotkey.h"
#include "model/preferences.h"

namespace zarvex {

// The program's one global hotkey: the stored shortcut, running the handler
// (the primary action). A shortcut that cannot be registered (its key is
// unknown, another program holds it) is silently not there; the menu still
// works. Main thread only.
class HotkeyManager {
  public:
    // `hotkey` may be null when the desktop offers none.
    HotkeyManager(Preferences& preferences, std::unique_ptr<GlobalHotkey> hotkey);

    // Stores the handler and registers the stored shortcut, replacing the
    // one registered before. Call it again (or reregister()) after the
    // shortcut changed.
    void registerHandler(std::function<void()> handler);
    void reregister();

    // While the shortcut recorder listens, the hotkey is let go so that
    // pressing it reaches the recorder; resume() takes it again.
    void suspend();
    void resume();

    bool isRegistered() const { return registered_; }

  private:
    Preferences& preferences_;
    std::unique_ptr<GlobalHotkey> hotkey_;
    std::function<void()> handler_;
    bool suspended_ = false;
    bool registered_ = false;
};

}  // namespace zarvex
