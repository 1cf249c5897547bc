#include "model/preferences.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace zarvex {
namespace {

std::optional<std::int64_t> parseInteger(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> hotkeyPart(const Preferences& preferences, std::string_view key,
                                       std::uint32_t fallback, bool& valid) {
    const auto stored = preferences.integer(key);
    if (!stored) {
        return fallback;
    }
    if (*stored < 0 || *stored > std::numeric_limits<std::uint32_t>::max()) {
        valid = false;
    }
    return stored;
}

}  // namespace

std::optional<std::int64_t> Preferences::integer(std::string_view key) const {
    const auto stored = store_.value(key);
    if (!stored) {
        return std::nullopt;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*stored)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&*stored)) {
        if (std::isfinite(*d) && *d == std::trunc(*d) && std::fabs(*d) < 9.2e18) {
            return static_cast<std::int64_t>(*d);
        }
        return std::nullopt;
    }
    if (const auto* s = std::get_if<std::string>(&*stored)) {
        return parseInteger(*s);
    }
    return std::nullopt;
}

std::optional<bool> Preferences::boolean(std::string_view key) const {
    const auto stored = store_.value(key);
    if (!stored) {
        return std::nullopt;
    }
    if (const auto* b = std::get_if<bool>(&*stored)) {
        return *b;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*stored)) {
        return *i != 0;
    }
    if (const auto* s = std::get_if<std::string>(&*stored)) {
        if (*s == "true" || *s == "1") {
            return true;
        }
        if (*s == "false" || *s == "0") {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Preferences::text(std::string_view key) const {
    const auto stored = store_.value(key);
    if (!stored) {
        return std::nullopt;
    }
    if (const auto* s = std::get_if<std::string>(&*stored)) {
        return *s;
    }
    return std::nullopt;
}

void Preferences::setText(std::string_view key, std::string_view value) {
    if (value.empty()) {
        store_.remove(key);
    } else {
        store_.setValue(key, std::string(value));
    }
}

std::int64_t Preferences::countdownSeconds() const {
    return integer(prefs::countdownSeconds).value_or(prefs::kDefaultCountdownSeconds);
}

bool Preferences::defaultMicEnabled() const {
    return boolean(prefs::defaultMicEnabled).value_or(prefs::kDefaultMicEnabled);
}

bool Preferences::defaultSystemAudioEnabled() const {
    return boolean(prefs::defaultSystemAudioEnabled).value_or(prefs::kDefaultSystemAudioEnabled);
}

bool Preferences::defaultCameraEnabled() const {
    return boolean(prefs::defaultCameraEnabled).value_or(prefs::kDefaultCameraEnabled);
}

bool Preferences::defaultCursorEnabled() const {
    return boolean(prefs::defaultCursorEnabled).value_or(prefs::kDefaultCursorEnabled);
}

Hotkey Preferences::hotkey() const {
    bool valid = true;
    const auto keyCode =
        hotkeyPart(*this, prefs::hotkeyKeyCode, prefs::kDefaultHotkeyKeyCode, valid);
    const auto modifiers =
        hotkeyPart(*this, prefs::hotkeyModifiers, prefs::kDefaultHotkeyModifiers, valid);
    if (!valid) {
        return Hotkey{};
    }
    return Hotkey{static_cast<std::uint32_t>(*keyCode), static_cast<std::uint32_t>(*modifiers)};
}

std::string Preferences::hotkeyDisplay() const {
    return text(prefs::hotkeyDisplay).value_or(std::string(prefs::kDefaultHotkeyDisplay));
}

std::string Preferences::exportFilenamePattern() const {
    const auto pattern = text(prefs::exportFilenamePattern);
    if (!pattern || pattern->empty()) {
        return std::string(prefs::kDefaultExportFilenamePattern);
    }
    return *pattern;
}

std::string Preferences::recordingsFolder() const {
    return text(prefs::recordingsFolder).value_or(std::string());
}

std::string Preferences::themeID() const {
    return text(prefs::themeID).value_or(std::string(prefs::kDefaultThemeID));
}

bool Preferences::zoomOnClicks() const {
    return boolean(prefs::zoomOnClicks).value_or(prefs::kDefaultZoomOnClicks);
}

void Preferences::setZoomOnClicks(bool on) {
    store_.setValue(prefs::zoomOnClicks, on);
}

void Preferences::setCountdownSeconds(std::int64_t seconds) {
    store_.setValue(prefs::countdownSeconds, seconds);
}

void Preferences::setDefaultMicEnabled(bool on) {
    store_.setValue(prefs::defaultMicEnabled, on);
}

void Preferences::setDefaultSystemAudioEnabled(bool on) {
    store_.setValue(prefs::defaultSystemAudioEnabled, on);
}

void Preferences::setDefaultCameraEnabled(bool on) {
    store_.setValue(prefs::defaultCameraEnabled, on);
}

void Preferences::setDefaultCursorEnabled(bool on) {
    store_.setValue(prefs::defaultCursorEnabled, on);
}

void Preferences::setHotkey(const Hotkey& hotkey, std::string_view display) {
    store_.setValue(prefs::hotkeyKeyCode, std::int64_t{hotkey.keyCode});
    store_.setValue(prefs::hotkeyModifiers, std::int64_t{hotkey.modifiers});
    store_.setValue(prefs::hotkeyDisplay, std::string(display));
}

void Preferences::setExportFilenamePattern(std::string_view pattern) {
    store_.setValue(prefs::exportFilenamePattern, std::string(pattern));
}

void Preferences::setRecordingsFolder(std::string_view path) {
    store_.setValue(prefs::recordingsFolder, std::string(path));
}

void Preferences::setThemeID(std::string_view id) {
    store_.setValue(prefs::themeID, std::string(id));
}

std::optional<PreferenceValue> MemoryKeyValueStore::value(std::string_view key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemoryKeyValueStore::setValue(std::string_view key, const PreferenceValue& value) {
    values_.insert_or_assign(std::string(key), value);
}

void MemoryKeyValueStore::remove(std::string_view key) {
    if (const auto it = values_.find(key); it != values_.end()) {
        values_.erase(it);
    }
}

}  // namespace zarvex
