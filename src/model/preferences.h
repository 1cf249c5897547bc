#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zarvex {

// A value as a key-value store holds it. Stores that keep text only (INI files)
// hand back strings; the typed reader below converts them.
using PreferenceValue = std::variant<bool, std::int64_t, double, std::string>;

// Port: the user's preference store. Implementations are used from the main
// thread only and need no locking.
class KeyValueStore {
  public:
    virtual ~KeyValueStore() = default;
    virtual std::optional<PreferenceValue> value(std::string_view key) const = 0;
    virtual void setValue(std::string_view key, const PreferenceValue& value) = 0;
    virtual void remove(std::string_view key) = 0;
};

// Names and defaults of every preference.
namespace prefs {
inline constexpr std::string_view countdownSeconds = "countdownSeconds";
inline constexpr std::string_view defaultMicEnabled = "defaultMicEnabled";
inline constexpr std::string_view defaultSystemAudioEnabled = "defaultSystemAudioEnabled";
inline constexpr std::string_view defaultCameraEnabled = "defaultCameraEnabled";
inline constexpr std::string_view defaultCursorEnabled = "defaultCursorEnabled";
inline constexpr std::string_view hotkeyKeyCode = "hotkeyKeyCode";
inline constexpr std::string_view hotkeyModifiers = "hotkeyModifiers";
inline constexpr std::string_view hotkeyDisplay = "hotkeyDisplay";
inline constexpr std::string_view exportFilenamePattern = "exportFilenamePattern";
inline constexpr std::string_view recordingsFolder = "recordingsFolder";
inline constexpr std::string_view themeID = "themeID";
// The desktop's screen-sharing dialog remembers a choice behind a token, one
// per kind of source (Wayland sessions).
inline constexpr std::string_view screenCastMonitorToken = "screenCastMonitorToken";
inline constexpr std::string_view screenCastWindowToken = "screenCastWindowToken";
inline constexpr std::string_view zoomOnClicks = "zoomOnClicks";

inline constexpr std::int64_t kDefaultCountdownSeconds = 3;
inline constexpr bool kDefaultMicEnabled = true;
inline constexpr bool kDefaultSystemAudioEnabled = true;
inline constexpr bool kDefaultCameraEnabled = false;
inline constexpr bool kDefaultCursorEnabled = true;
inline constexpr std::uint32_t kDefaultHotkeyKeyCode = 5;      // G
inline constexpr std::uint32_t kDefaultHotkeyModifiers = 768;  // command + shift
inline constexpr std::string_view kDefaultHotkeyDisplay = "⌘⇧G";
inline constexpr std::string_view kDefaultExportFilenamePattern = "{{name}}";
inline constexpr std::string_view kDefaultThemeID = "studio";
inline constexpr bool kDefaultZoomOnClicks = false;

// Modifier bits of the stored hotkey.
inline constexpr std::uint32_t kCommandKey = 256;
inline constexpr std::uint32_t kShiftKey = 512;
inline constexpr std::uint32_t kOptionKey = 2048;
inline constexpr std::uint32_t kControlKey = 4096;
}  // namespace prefs

struct Hotkey {
    std::uint32_t keyCode = prefs::kDefaultHotkeyKeyCode;
    std::uint32_t modifiers = prefs::kDefaultHotkeyModifiers;
    bool operator==(const Hotkey&) const = default;
};

// Typed access to the preferences with their defaults. A key that is absent or
// holds a value of the wrong kind reads as its default.
class Preferences {
  public:
    explicit Preferences(KeyValueStore& store) : store_(store) {}

    std::int64_t countdownSeconds() const;
    bool defaultMicEnabled() const;
    bool defaultSystemAudioEnabled() const;
    bool defaultCameraEnabled() const;
    bool defaultCursorEnabled() const;
    // The stored shortcut; a key code or modifier value outside 0…2^32-1 is
    // never used: the whole shortcut then falls back to the default (G, ⌘⇧).
    Hotkey hotkey() const;
    std::string hotkeyDisplay() const;
    // "{{name}}" when absent or empty.
    std::string exportFilenamePattern() const;
    // Empty means the default folder.
    std::string recordingsFolder() const;
    std::string themeID() const;
    // New recordings start with automatic zoom on clicks.
    bool zoomOnClicks() const;

    void setCountdownSeconds(std::int64_t seconds);
    void setDefaultMicEnabled(bool on);
    void setDefaultSystemAudioEnabled(bool on);
    void setDefaultCameraEnabled(bool on);
    void setDefaultCursorEnabled(bool on);
    void setHotkey(const Hotkey& hotkey, std::string_view display);
    void setExportFilenamePattern(std::string_view pattern);
    void setRecordingsFolder(std::string_view path);
    void setThemeID(std::string_view id);
    void setZoomOnClicks(bool on);

    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::string> text(std::string_view key) const;
    // Keeps the text under `key`; an empty text removes the key.
    void setText(std::string_view key, std::string_view value);

  private:
    KeyValueStore& store_;
};

// An in-memory store: the default for tools and tests that must not touch the
// user's settings.
class MemoryKeyValueStore : public KeyValueStore {
  public:
    std::optional<PreferenceValue> value(std::string_view key) const override;
    void setValue(std::string_view key, const PreferenceValue& value) override;
    void remove(std::string_view key) override;

  private:
    std::map<std::string, PreferenceValue, std::less<>> values_;
};

}  // namespace zarvex
