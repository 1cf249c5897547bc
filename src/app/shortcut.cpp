#include "app/shortcut.h"

#include <QKeySequence>
#include <Qt>
#include <array>
#include <span>

namespace zarvex {
namespace {

// Stored key codes, Qt keys and X keysyms of every key a shortcut can use.
constexpr ShortcutKey kKeys[] = {
    {0, Qt::Key_A, 0x61, "A"},
    {1, Qt::Key_S, 0x73, "S"},
    {2, Qt::Key_D, 0x64, "D"},
    {3, Qt::Key_F, 0x66, "F"},
    {4, Qt::Key_H, 0x68, "H"},
    {5, Qt::Key_G, 0x67, "G"},
    {6, Qt::Key_Z, 0x7a, "Z"},
    {7, Qt::Key_X, 0x78, "X"},
    {8, Qt::Key_C, 0x63, "C"},
    {9, Qt::Key_V, 0x76, "V"},
    {11, Qt::Key_B, 0x62, "B"},
    {12, Qt::Key_Q, 0x71, "Q"},
    {13, Qt::Key_W, 0x77, "W"},
    {14, Qt::Key_E, 0x65, "E"},
    {15, Qt::Key_R, 0x72, "R"},
    {16, Qt::Key_Y, 0x79, "Y"},
    {17, Qt::Key_T, 0x74, "T"},
    {18, Qt::Key_1, 0x31, "1"},
    {19, Qt::Key_2, 0x32, "2"},
    {20, Qt::Key_3, 0x33, "3"},
    {21, Qt::Key_4, 0x34, "4"},
    {22, Qt::Key_6, 0x36, "6"},
    {23, Qt::Key_5, 0x35, "5"},
    {24, Qt::Key_Equal, 0x3d, "="},
    {25, Qt::Key_9, 0x39, "9"},
    {26, Qt::Key_7, 0x37, "7"},
    {27, Qt::Key_Minus, 0x2d, "-"},
    {28, Qt::Key_8, 0x38, "8"},
    {29, Qt::Key_0, 0x30, "0"},
    {30, Qt::Key_BracketRight, 0x5d, "]"},
    {31, Qt::Key_O, 0x6f, "O"},
    {32, Qt::Key_U, 0x75, "U"},
    {33, Qt::Key_BracketLeft, 0x5b, "["},
    {34, Qt::Key_I, 0x69, "I"},
    {35, Qt::Key_P, 0x70, "P"},
    {36, Qt::Key_Return, 0xff0d, "Return"},
    {37, Qt::Key_L, 0x6c, "L"},
    {38, Qt::Key_J, 0x6a, "J"},
    {39, Qt::Key_Apostrophe, 0x27, "'"},
    {40, Qt::Key_K, 0x6b, "K"},
    {41, Qt::Key_Semicolon, 0x3b, ";"},
    {42, Qt::Key_Backslash, 0x5c, "\\"},
    {43, Qt::Key_Comma, 0x2c, ","},
    {44, Qt::Key_Slash, 0x2f, "/"},
    {45, Qt::Key_N, 0x6e, "N"},
    {46, Qt::Key_M, 0x6d, "M"},
    {47, Qt::Key_Period, 0x2e, "."},
    {48, Qt::Key_Tab, 0xff09, "Tab"},
    {49, Qt::Key_Space, 0x20, "Space"},
    {50, Qt::Key_QuoteLeft, 0x60, "`"},
    {51, Qt::Key_Backspace, 0xff08, "Backspace"},
    {53, Qt::Key_Escape, 0xff1b, "Escape"},
    {65, Qt::Key_Period, 0xffae, "KP .", true},
    {67, Qt::Key_Asterisk, 0xffaa, "KP *", true},
    {69, Qt::Key_Plus, 0xffab, "KP +", true},
    {75, Qt::Key_Slash, 0xffaf, "KP /", true},
    {76, Qt::Key_Enter, 0xff8d, "Enter", true},
    {78, Qt::Key_Minus, 0xffad, "KP -", true},
    {82, Qt::Key_0, 0xffb0, "KP 0", true},
    {83, Qt::Key_1, 0xffb1, "KP 1", true},
    {84, Qt::Key_2, 0xffb2, "KP 2", true},
    {85, Qt::Key_3, 0xffb3, "KP 3", true},
    {86, Qt::Key_4, 0xffb4, "KP 4", true},
    {87, Qt::Key_5, 0xffb5, "KP 5", true},
    {88, Qt::Key_6, 0xffb6, "KP 6", true},
    {89, Qt::Key_7, 0xffb7, "KP 7", true},
    {91, Qt::Key_8, 0xffb8, "KP 8", true},
    {92, Qt::Key_9, 0xffb9, "KP 9", true},
    {96, Qt::Key_F5, 0xffc2, "F5"},
    {97, Qt::Key_F6, 0xffc3, "F6"},
    {98, Qt::Key_F7, 0xffc4, "F7"},
    {99, Qt::Key_F3, 0xffc0, "F3"},
    {100, Qt::Key_F8, 0xffc5, "F8"},
    {101, Qt::Key_F9, 0xffc6, "F9"},
    {103, Qt::Key_F11, 0xffc8, "F11"},
    {105, Qt::Key_F13, 0xffca, "F13"},
    {107, Qt::Key_F14, 0xffcb, "F14"},
    {109, Qt::Key_F10, 0xffc7, "F10"},
    {111, Qt::Key_F12, 0xffc9, "F12"},
    {113, Qt::Key_F15, 0xffcc, "F15"},
    {114, Qt::Key_Insert, 0xff63, "Insert"},
    {115, Qt::Key_Home, 0xff50, "Home"},
    {116, Qt::Key_PageUp, 0xff55, "Page Up"},
    {117, Qt::Key_Delete, 0xffff, "Delete"},
    {118, Qt::Key_F4, 0xffc1, "F4"},
    {119, Qt::Key_End, 0xff57, "End"},
    {120, Qt::Key_F2, 0xffbf, "F2"},
    {121, Qt::Key_PageDown, 0xff56, "Page Down"},
    {122, Qt::Key_F1, 0xffbe, "F1"},
    {123, Qt::Key_Left, 0xff51, "Left"},
    {124, Qt::Key_Right, 0xff53, "Right"},
    {125, Qt::Key_Down, 0xff54, "Down"},
    {126, Qt::Key_Up, 0xff52, "Up"},
};

// Keypad keys with Num Lock off and the key with Num Lock on: the same key,
// which the hotkey grabs in either state.
constexpr std::array<std::pair<int, int>, 11> kKeypadWithoutNumLock{{
    {Qt::Key_Insert, Qt::Key_0},
    {Qt::Key_End, Qt::Key_1},
    {Qt::Key_Down, Qt::Key_2},
    {Qt::Key_PageDown, Qt::Key_3},
    {Qt::Key_Left, Qt::Key_4},
    {Qt::Key_Clear, Qt::Key_5},
    {Qt::Key_Right, Qt::Key_6},
    {Qt::Key_Home, Qt::Key_7},
    {Qt::Key_Up, Qt::Key_8},
    {Qt::Key_PageUp, Qt::Key_9},
    {Qt::Key_Delete, Qt::Key_Period},
}};

// Shifted symbols of a US keyboard and the key that types them.
constexpr std::array<std::pair<int, int>, 21> kShifted{{
    {Qt::Key_Exclam, Qt::Key_1},
    {Qt::Key_At, Qt::Key_2},
    {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},
    {Qt::Key_Percent, Qt::Key_5},
    {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},
    {Qt::Key_Asterisk, Qt::Key_8},
    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
    {Qt::Key_Underscore, Qt::Key_Minus},
    {Qt::Key_Plus, Qt::Key_Equal},
    {Qt::Key_BraceLeft, Qt::Key_BracketLeft},
    {Qt::Key_BraceRight, Qt::Key_BracketRight},
    {Qt::Key_Bar, Qt::Key_Backslash},
    {Qt::Key_Colon, Qt::Key_Semicolon},
    {Qt::Key_QuoteDbl, Qt::Key_Apostrophe},
    {Qt::Key_Less, Qt::Key_Comma},
    {Qt::Key_Greater, Qt::Key_Period},
    {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
}};

bool isModifierKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Control:
        case Qt::Key_Shift:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
            return true;
        default:
            return false;
    }
}

}  // namespace

const ShortcutKey* shortcutKeyByCode(std::uint32_t keyCode) {
    for (const auto& key : kKeys) {
        if (key.keyCode == keyCode) {
            return &key;
        }
    }
    return nullptr;
}

const ShortcutKey* shortcutKeyByQtKey(int qtKey, bool keypad) {
    using Pairs = std::span<const std::pair<int, int>>;
    for (const auto& [other, key] : keypad ? Pairs(kKeypadWithoutNumLock) : Pairs(kShifted)) {
        if (other == qtKey) {
            qtKey = key;
        }
    }
    if (qtKey == Qt::Key_Backtab) {
        qtKey = Qt::Key_Tab;
    }
    for (const auto& key : kKeys) {
        if (key.qtKey == qtKey && key.keypad == keypad) {
            return &key;
        }
    }
    return nullptr;
}

std::string shortcutText(const Hotkey& hotkey) {
    std::string text;
    if (hotkey.modifiers & prefs::kCommandKey) {
        text += "Ctrl+";
    }
    if (hotkey.modifiers & prefs::kOptionKey) {
        text += "Alt+";
    }
    if (hotkey.modifiers & prefs::kShiftKey) {
        text += "Shift+";
    }
    if (hotkey.modifiers & prefs::kControlKey) {
        text += "Super+";
    }
    const ShortcutKey* key = shortcutKeyByCode(hotkey.keyCode);
    text += key ? std::string(key->text) : "Key " + std::to_string(hotkey.keyCode);
    return text;
}

Hotkey effectiveHotkey(const Preferences& preferences) {
    const Hotkey stored = preferences.hotkey();
    return shortcutKeyByCode(stored.keyCode) ? stored : Hotkey{};
}

std::uint32_t modifierBitsFromQt(int qtModifiers) {
    std::uint32_t bits = 0;
    if (qtModifiers & Qt::MetaModifier) {
        bits += prefs::kControlKey;
    }
    if (qtModifiers & Qt::AltModifier) {
        bits += prefs::kOptionKey;
    }
    if (qtModifiers & Qt::ShiftModifier) {
        bits += prefs::kShiftKey;
    }
    if (qtModifiers & Qt::ControlModifier) {
        bits += prefs::kCommandKey;
    }
    return bits;
}

KeyPressResult shortcutFromKeyPress(int qtKey, int qtModifiers) {
    if (isModifierKey(qtKey)) {
        return {KeyPressOutcome::keepListening, std::nullopt, {}};
    }
    const std::uint32_t bits = modifierBitsFromQt(qtModifiers);
    // Shift alone is not enough; a plain key (Escape among them) cancels.
    if ((bits & (prefs::kCommandKey | prefs::kOptionKey | prefs::kControlKey)) == 0) {
        return {KeyPressOutcome::cancel, std::nullopt, {}};
    }
    const bool keypad = (qtModifiers & Qt::KeypadModifier) != 0;
    const ShortcutKey* key = shortcutKeyByQtKey(qtKey, keypad);
    if (!key) {
        const QString name = QKeySequence(qtKey | (keypad ? Qt::KeypadModifier : Qt::NoModifier))
                                 .toString(QKeySequence::NativeText);
        return {KeyPressOutcome::refuse, std::nullopt,
                (name.isEmpty() ? std::string("That key") : "“" + name.toStdString() + "”") +
                    " can't be used in a shortcut. Use a letter, digit, punctuation, function, "
                    "arrow or keypad key."};
    }
    const Hotkey hotkey{key->keyCode, bits};
    return {KeyPressOutcome::record, RecordedShortcut{hotkey, shortcutText(hotkey)}, {}};
}

}  // namespace zarvex
