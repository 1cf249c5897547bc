#include "app/shortcut.h"
#include "app/wayland/portal_hotkey.h"

#include <gtest/gtest.h>

#include <Qt>

#include "app/settings_window.h"

namespace zarvex {
namespace {

TEST(Shortcut, TextTheLinuxWayInCtrlAltShiftSuperOrder) {
    EXPECT_EQ(shortcutText(Hotkey{}), "Ctrl+Shift+G");
    EXPECT_EQ(shortcutText(Hotkey{40, 7936}), "Ctrl+Alt+Shift+Super+K");  // 1024 means nothing
    EXPECT_EQ(shortcutText(Hotkey{122, 4096 + 2048}), "Alt+Super+F1");
    EXPECT_EQ(shortcutText(Hotkey{49, 256}), "Ctrl+Space");
    EXPECT_EQ(shortcutText(Hotkey{200, 256}), "Ctrl+Key 200");

    // The same values as a desktop's shortcut service takes a preferred trigger.
    EXPECT_EQ(preferredTrigger({'g', 768}), "CTRL+SHIFT+g");
    EXPECT_EQ(preferredTrigger({'k', 7936}), "CTRL+ALT+SHIFT+LOGO+k");
    EXPECT_EQ(preferredTrigger({0xffbe, 4096 + 2048}), "ALT+LOGO+F1");
    EXPECT_EQ(preferredTrigger({0x20, 256}), "CTRL+space");
    EXPECT_EQ(preferredTrigger({',', 256}), "");  // no name known: none offered
}

TEST(Shortcut, TheShortcutInForceIsOneThatCanBeRegistered) {
    MemoryKeyValueStore store;
    Preferences preferences(store);
    EXPECT_EQ(effectiveHotkey(preferences), Hotkey{});
    preferences.setHotkey({40, 2048 + 256}, "⌥⌘K");  // a stored glyph text is not shown
    EXPECT_EQ(shortcutText(effectiveHotkey(preferences)), "Ctrl+Alt+K");
    preferences.setHotkey({200, 256}, "?");  // no such key: the default is in force
    EXPECT_EQ(effectiveHotkey(preferences), Hotkey{});
    store.setValue(prefs::hotkeyKeyCode, std::int64_t{40});
    store.setValue(prefs::hotkeyModifiers, std::int64_t{1} << 33);  // out of range
    EXPECT_EQ(effectiveHotkey(preferences), Hotkey{});
}

TEST(Shortcut, KeyTableRoundTripsAndKnowsShiftedSymbolsAndTheKeypad) {
    for (std::uint32_t code = 0; code < 128; ++code) {
        if (const ShortcutKey* key = shortcutKeyByCode(code)) {
            EXPECT_EQ(key->keyCode, code);
            EXPECT_EQ(shortcutKeyByQtKey(key->qtKey, key->keypad), key) << code;
        }
    }
    EXPECT_EQ(shortcutKeyByQtKey(Qt::Key_End, true)->keyCode, 83u);  // KP 1 with Num Lock off
    EXPECT_EQ(shortcutKeyByQtKey(Qt::Key_Delete, true)->keyCode, 65u);
    EXPECT_EQ(shortcutKeyByQtKey(Qt::Key_Exclam)->keyCode, 18u);  // Shift+1
    EXPECT_EQ(shortcutKeyByQtKey(Qt::Key_Question)->keyCode, 44u);
    EXPECT_EQ(shortcutKeyByCode(5)->keysym, 0x67u);  // g
    EXPECT_EQ(shortcutKeyByQtKey(Qt::Key_VolumeUp), nullptr);
}

TEST(Shortcut, KeyPressesWhileRecording) {
    struct Case {
        int key;
        int modifiers;
        KeyPressOutcome outcome;
        Hotkey hotkey;
        const char* text;
    };
    using enum KeyPressOutcome;
    const int ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier,
              meta = Qt::MetaModifier, keypad = Qt::KeypadModifier;
    for (const Case& c : std::vector<Case>{
             {Qt::Key_A, shift, cancel, {}, ""},
             {Qt::Key_Escape, 0, cancel, {}, ""},
             {Qt::Key_Control, ctrl, keepListening, {}, ""},
             {Qt::Key_Shift, ctrl | shift, keepListening, {}, ""},
             {Qt::Key_VolumeUp, ctrl, refuse, {}, ""},
             {Qt::Key_Comma, alt | keypad, refuse, {}, ""},
             {Qt::Key_7, ctrl | keypad, record, {89, 256}, "Ctrl+KP 7"},
             // control 4096 + option 2048 + shift 512 + command 256
             {Qt::Key_K, ctrl | alt | shift | meta, record, {40, 6912}, "Ctrl+Alt+Shift+Super+K"},
             {Qt::Key_G, ctrl | shift, record, {5, 768}, "Ctrl+Shift+G"},
             {Qt::Key_At, meta | shift, record, {19, 4096 + 512}, "Shift+Super+2"},
         }) {
        // What it records: nothing ({} and "") unless the outcome is `record`.
        const KeyPressResult got = shortcutFromKeyPress(c.key, c.modifiers);
        EXPECT_EQ(got.outcome, c.outcome) << c.key;
        EXPECT_EQ((got.shortcut ? std::pair(got.shortcut->hotkey, got.shortcut->text)
                                : std::pair<Hotkey, std::string>()),
                  std::pair(c.hotkey, std::string(c.text)))
            << c.key;
    }
}

TEST(Shortcut, ARefusedKeyIsNamed) {
    EXPECT_EQ(shortcutFromKeyPress(Qt::Key_VolumeUp, Qt::ControlModifier).reason,
              "“Volume Up” can't be used in a shortcut. Use a letter, digit, punctuation, "
              "function, arrow or keypad key.");
    EXPECT_TRUE(shortcutFromKeyPress(Qt::Key_unknown, Qt::AltModifier)
                    .reason.starts_with("That key can't"));
}

TEST(SettingsRules, RecordingsFolderDisplayPath) {
    EXPECT_EQ(recordingsFolderDisplayPath("/home/ann/Movies/Zarvex", "/home/ann"),
              "~/Movies/Zarvex");
    EXPECT_EQ(recordingsFolderDisplayPath("/media/disk/Zarvex", "/home/ann"), "/media/disk/Zarvex");
    EXPECT_EQ(recordingsFolderDisplayPath("/home/anna/Zarvex", "/home/ann"), "/home/anna/Zarvex");
    EXPECT_EQ(recordingsFolderDisplayPath("/home/ann", "/home/ann"), "/home/ann");
}

}  // namespace
}  // namespace zarvex
