#include "app/shortcut_settings.h"

#include "model/settings_store.h"

namespace zarvex {

ShortcutSettings::ShortcutSettings(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences) {}

ShortcutSettings& ShortcutSettings::shared() {
    static ShortcutSettings settings(userPreferences());
    return settings;
}

Hotkey ShortcutSettings::hotkey() const {
    return effectiveHotkey(preferences_);
}

QString ShortcutSettings::displayText() const {
    return QString::fromStdString(shortcutText(hotkey()));
}

void ShortcutSettings::store(const RecordedShortcut& shortcut) {
    preferences_.setHotkey(shortcut.hotkey, shortcut.text);
    emit shortcutChanged();
}

void ShortcutSettings::setRecording(bool recording) {
    if (recording_ != recording) {
        recording_ = recording;
        emit recordingChanged(recording);
    }
}

void ShortcutSettings::setBinding(Binding binding) {
    if (binding_ != binding) {
        binding_ = binding;
        emit bindingChanged();
    }
}

}  // namespace zarvex
