#include "app/hotkey_manager.h"

namespace zarvex {

HotkeyManager::HotkeyManager(Preferences& preferences, std::unique_ptr<GlobalHotkey> hotkey)
    : preferences_(preferences), hotkey_(std::move(hotkey)) {
    if (hotkey_) {
        hotkey_->onPressed = [this] {
            if (handler_) {
                handler_();
            }
        };
    }
}

void HotkeyManager::registerHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
    reregister();
}

void HotkeyManager::reregister() {
    if (!hotkey_ || suspended_) {
        return;
    }
    registered_ = hotkey_->grab(preferences_.hotkey());
}

void HotkeyManager::suspend() {
    suspended_ = true;
    if (hotkey_) {
        hotkey_->release();
    }
    registered_ = false;
}

void HotkeyManager::resume() {
    suspended_ = false;
    reregister();
}

}  // namespace zarvex
