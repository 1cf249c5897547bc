#include "model/hotkey_keys.h"

#include <algorithm>
#include <array>

namespace zarvex {
namespace {

constexpr auto kKeys = std::to_array<HotkeyKey>({
    {0, 0x61, "A"},
    {1, 0x73, "S"},
    {2, 0x64, "D"},
    {3, 0x66, "F"},
    {4, 0x68, "H"},
    {5, 0x67, "G"},
    {6, 0x7a, "Z"},
    {7, 0x78, "X"},
    {8, 0x63, "C"},
    {9, 0x76, "V"},
    {11, 0x62, "B"},
    {12, 0x71, "Q"},
    {13, 0x77, "W"},
    {14, 0x65, "E"},
    {15, 0x72, "R"},
    {16, 0x79, "Y"},
    {17, 0x74, "T"},
    {18, 0x31, "1"},
    {19, 0x32, "2"},
    {20, 0x33, "3"},
    {21, 0x34, "4"},
    {22, 0x36, "6"},
    {23, 0x35, "5"},
    {24, 0x3d, "="},
    {25, 0x39, "9"},
    {26, 0x37, "7"},
    {27, 0x2d, "-"},
    {28, 0x38, "8"},
    {29, 0x30, "0"},
    {30, 0x5d, "]"},
    {31, 0x6f, "O"},
    {32, 0x75, "U"},
    {33, 0x5b, "["},
    {34, 0x69, "I"},
    {35, 0x70, "P"},
    {36, 0xff0d, "Return"},
    {37, 0x6c, "L"},
    {38, 0x6a, "J"},
    {39, 0x27, "'"},
    {40, 0x6b, "K"},
    {41, 0x3b, ";"},
    {42, 0x5c, "\\"},
    {43, 0x2c, ","},
    {44, 0x2f, "/"},
    {45, 0x6e, "N"},
    {46, 0x6d, "M"},
    {47, 0x2e, "."},
    {48, 0xff09, "Tab"},
    {49, 0x20, "Space"},
    {50, 0x60, "`"},
    {51, 0xff08, "Backspace"},
    {53, 0xff1b, "Esc"},
    {64, 0xffce, "F17"},
    {65, 0xffae, "Num+."},
    {67, 0xffaa, "Num+*"},
    {69, 0xffab, "Num++"},
    {71, 0xff0b, "Clear"},
    {75, 0xffaf, "Num+/"},
    {76, 0xff8d, "Num+Enter"},
    {78, 0xffad, "Num+-"},
    {79, 0xffcf, "F18"},
    {80, 0xffd0, "F19"},
    {81, 0xffbd, "Num+="},
    {82, 0xffb0, "Num+0"},
    {83, 0xffb1, "Num+1"},
    {84, 0xffb2, "Num+2"},
    {85, 0xffb3, "Num+3"},
    {86, 0xffb4, "Num+4"},
    {87, 0xffb5, "Num+5"},
    {88, 0xffb6, "Num+6"},
    {89, 0xffb7, "Num+7"},
    {90, 0xffd1, "F20"},
    {91, 0xffb8, "Num+8"},
    {92, 0xffb9, "Num+9"},
    {96, 0xffc2, "F5"},
    {97, 0xffc3, "F6"},
    {98, 0xffc4, "F7"},
    {99, 0xffc0, "F3"},
    {100, 0xffc5, "F8"},
    {101, 0xffc6, "F9"},
    {103, 0xffc8, "F11"},
    {105, 0xffca, "F13"},
    {106, 0xffcd, "F16"},
    {107, 0xffcb, "F14"},
    {109, 0xffc7, "F10"},
    {111, 0xffc9, "F12"},
    {113, 0xffcc, "F15"},
    {114, 0xff63, "Ins"},
    {115, 0xff50, "Home"},
    {116, 0xff55, "PgUp"},
    {117, 0xffff, "Del"},
    {118, 0xffc1, "F4"},
    {119, 0xff57, "End"},
    {120, 0xffbf, "F2"},
    {121, 0xff56, "PgDown"},
    {122, 0xffbe, "F1"},
    {123, 0xff51, "Left"},
    {124, 0xff53, "Right"},
    {125, 0xff54, "Down"},
    {126, 0xff52, "Up"},
});

}  // namespace

std::span<const HotkeyKey> hotkeyKeys() {
    return kKeys;
}

std::optional<HotkeyKey> hotkeyKeyForCode(std::uint32_t code) {
    const auto found = std::find_if(kKeys.begin(), kKeys.end(),
                                    [code](const HotkeyKey& key) { return key.code == code; });
    return found == kKeys.end() ? std::nullopt : std::optional(*found);
}

std::optional<HotkeyKey> hotkeyKeyForKeysym(std::uint32_t keysym) {
    // Upper-case Latin letters share their key with the lower-case keysym.
    if (keysym >= 'A' && keysym <= 'Z') {
        keysym += 'a' - 'A';
    }
    const auto found = std::find_if(kKeys.begin(), kKeys.end(), [keysym](const HotkeyKey& key) {
        return key.keysym == keysym;
    });
    return found == kKeys.end() ? std::nullopt : std::optional(*found);
}

std::string hotkeyText(const Hotkey& hotkey) {
    std::string text;
    for (const auto& [bit, name] :
         {std::pair{prefs::kCommandKey, "Ctrl+"}, std::pair{prefs::kOptionKey, "Alt+"},
          std::pair{prefs::kShiftKey, "Shift+"}, std::pair{prefs::kControlKey, "Super+"}}) {
        if ((hotkey.modifiers & bit) != 0) {
            text += name;
        }
    }
    const auto key = hotkeyKeyForCode(hotkey.keyCode);
    text += key ? std::string(key->name) : "?";
    return text;
}

}  // namespace zarvex
