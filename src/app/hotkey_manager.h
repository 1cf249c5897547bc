#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "app/global_hotkey.h"
#include "app/shortcut_settings.h"

namespace zarvex {

// The program's one global hotkey: the shortcut in force, running the
// handler (the primary action). It follows the shortcut settings: a newly
// recorded shortcut replaces the registered one, and while the shortcut
// recorder listens the keys are let go so they reach it. A shortcut that
// cannot be registered (another program holds it) is silently not there;
// the menu still works. Main thread only.
class HotkeyManager : public QObject {
    Q_OBJECT
  public:
    // `hotkey` may be null when the desktop offers none.
    HotkeyManager(ShortcutSettings& shortcut, std::unique_ptr<GlobalHotkey> hotkey,
                  QObject* parent = nullptr);

    // Stores the handler and registers the shortcut in force, replacing the
    // one registered before.
    void registerHandler(std::function<void()> handler);
    void reregister();

    bool isRegistered() const { return registered_; }

  private:
    void suspend(bool suspended);

    ShortcutSettings& shortcut_;
    std::unique_ptr<GlobalHotkey> hotkey_;
    std::function<void()> handler_;
    bool suspended_ = false;
    bool registered_ = false;
};

}  // namespace zarvex
