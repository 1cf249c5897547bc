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
    std::string_view text;  // as shown: "G", "F5", "Space", "Left", "KP 1"
    bool keypad = false;    // on the keypad: Qt reports it with Qt::KeypadModifier
};

// The key with that stored code, or with that Qt key on the main keyboard
// (shifted symbols of a US keyboard's number row and punctuation count as
// their unshifted key) or on the keypad (with Num Lock off its keys report
// Home, End…: they count as the digits they are with Num Lock on); nothing
// for keys a shortcut cannot use.
const ShortcutKey* shortcutKeyByCode(std::uint32_t keyCode);
const ShortcutKey* shortcutKeyByQtKey(int qtKey, bool keypad = false);

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
    cancel,         // no Ctrl, Alt or Super held
    refuse,         // a key a shortcut cannot use: `reason` tells the user
    record,         // a new shortcut
};
struct KeyPressResult {
    KeyPressOutcome outcome;
    std::optional<RecordedShortcut> shortcut;
    std::string reason;
};
KeyPressResult shortcutFromKeyPress(int qtKey, int qtModifiers);

}  // namespace zarvex
