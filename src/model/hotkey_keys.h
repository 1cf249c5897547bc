#pragma once

// The key-code space of the stored global hotkey (`hotkeyKeyCode`: the
// virtual key codes of the original keyboard layout, 5 = G) and its
// modifier bits, mapped to X keysyms and to the text shown on Linux.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/preferences.h"

namespace zarvex {

struct HotkeyKey {
    std::uint32_t code;     // the stored key code
    std::uint32_t keysym;   // the X keysym of the key (lower case for letters)
    std::string_view name;  // as shown: "G", "F5", "Space", "Num+7", …
};

// Every key a hotkey can use.
std::span<const HotkeyKey> hotkeyKeys();

// The key of a stored code, or of an X keysym (either case for letters);
// nothing when the table has none.
std::optional<HotkeyKey> hotkeyKeyForCode(std::uint32_t code);
std::optional<HotkeyKey> hotkeyKeyForKeysym(std::uint32_t keysym);

// The shortcut as Linux users read it: the modifiers in the order Ctrl, Alt,
// Shift, Super (command 256, option 2048, shift 512, control 4096), each
// followed by "+", then the key's name ("?" for a code the table lacks):
// 768 + G is "Ctrl+Shift+G", 7936 + K is "Ctrl+Alt+Shift+Super+K".
std::string hotkeyText(const Hotkey& hotkey);

}  // namespace zarvex
