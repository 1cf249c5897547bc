#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/preferences.h"

// The global shortcut's key space: stored key codes are the virtual key codes
// of the preference table (5 = G), modifiers its bits (command 256, shift 512,
// option 2048, control 4096). On Linux they mean Ctrl, Shift, Alt and Super.
namespace zarvex {

// One key that a shortcut can use.
struct ShortcutKey {
    std::uint32_t keyCode;  // stored virtual key code
    int qtKey;              // Qt::Key of the unshifted key
    std::uint32_t keysym;   // X keysym of the unshifted key
    std::string_view text;  // as shown: "G", "F5", "Space", "Left"
};

// The key with that stored code, or with that Qt key (shifted symbols of a
// US keyboard's number row and punctuation count as their unshifted key);
// nothing for keys a shortcut cannot use.
const ShortcutKey* shortcutKeyByCode(std::uint32_t keyCode);
const ShortcutKey* shortcutKeyByQtKey(int qtKey);

// The shortcut the Linux way: "Ctrl+", "Alt+", "Shift+", "Super+" for the
// modifiers present, in that order, then the key ("Ctrl+Shift+G").
std::string shortcutText(const Hotkey& hotkey);

// The shortcut in force: the stored one (already the default when a stored
// value is out of range), or the default when its key is not one a shortcut
// can use, since such a key cannot be registered.
Hotkey effectiveHotkey(const Preferences& preferences);

// Qt modifier flags → stored modifier bits: Ctrl → command, Alt → option,
// Shift → shift, Meta (Super) → control.
std::uint32_t modifierBitsFromQt(int qtModifiers);

// What a key press does to the shortcut recorder.
struct RecordedShortcut {
    Hotkey hotkey;
    std::string text;
};
enum class KeyPressOutcome {
    keepListening,  // a modifier key on its own
    cancel,         // no Ctrl, Alt or Super held, or a key a shortcut cannot use
    record,         // a new shortcut
};
struct KeyPressResult {
    KeyPressOutcome outcome;
    std::optional<RecordedShortcut> shortcut;
};
KeyPressResult shortcutFromKeyPress(int qtKey, int qtModifiers);

}  // namespace zarvex
