#include "app/hotkey_manager.h"

#include "app/shortcut.h"

namespace zarvex {

HotkeyManager::HotkeyManager(ShortcutSettings& shortcut, std::unique_ptr<GlobalHotkey> hotkey,
                             QObject* parent)
    : QObject(parent), shortcut_(shortcut), hotkey_(std::move(hotkey)) {
    if (hotkey_) {
        hotkey_->onPressed = [this] {
            if (handler_) {
                handler_();
            }
        };
    }
    connect(&shortcut_, &ShortcutSettings::shortcutChanged, this, &HotkeyManager::reregister);
    connect(&shortcut_, &ShortcutSettings::recordingChanged, this, &HotkeyManager::suspend);
}

void HotkeyManager::registerHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
    reregister();
}

void HotkeyManager::reregister() {
    if (!hotkey_ || suspended_) {
        return;
    }
    const Hotkey hotkey = shortcut_.hotkey();
    const ShortcutKey* key = shortcutKeyByCode(hotkey.keyCode);
    if (key == nullptr) {
        hotkey_->release();
        registered_ = false;
        return;
    }
    registered_ = hotkey_->grab({key->keysym, hotkey.modifiers});
}

void HotkeyManager::suspend(bool suspended) {
    suspended_ = suspended;
    if (!suspended_) {
        reregister();
    } else if (hotkey_) {
        hotkey_->release();
        registered_ = false;
    }
}

}  // namespace zarvex
