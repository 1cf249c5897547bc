#include "model/preferences.h"

#include <gtest/gtest.h>

#include <set>

#include "model/hotkey_keys.h"

namespace zarvex {
namespace {

class PreferencesTest : public ::testing::Test {
  protected:
    MemoryKeyValueStore store;
    Preferences preferences{store};
};

TEST_F(PreferencesTest, TextValuesAreConvertedAndWrongKindsReadAsDefaults) {
    // INI-backed stores give every value back as text.
    store.setValue(prefs::countdownSeconds, std::string("5"));
    store.setValue(prefs::defaultCursorEnabled, std::string("false"));
    store.setValue(prefs::hotkeyKeyCode, std::string("9"));
    store.setValue(prefs::hotkeyModifiers, 4096.0);
    EXPECT_EQ(preferences.countdownSeconds(), 5);
    EXPECT_FALSE(preferences.defaultCursorEnabled());
    EXPECT_EQ(preferences.hotkey(), (Hotkey{9, 4096}));

    store.setValue(prefs::countdownSeconds, std::string("soon"));
    store.setValue(prefs::defaultMicEnabled, std::string("maybe"));
    store.setValue(prefs::themeID, true);
    EXPECT_EQ(preferences.countdownSeconds(), 3);
    EXPECT_TRUE(preferences.defaultMicEnabled());
    EXPECT_EQ(preferences.themeID(), "studio");
}

TEST_F(PreferencesTest, HotkeyOutsideUnsigned32BitsFallsBackToDefault) {
    store.setValue(prefs::hotkeyKeyCode, std::int64_t{4294967295});
    store.setValue(prefs::hotkeyModifiers, std::int64_t{0});
    EXPECT_EQ(preferences.hotkey(), (Hotkey{4294967295u, 0}));
    store.setValue(prefs::hotkeyKeyCode, std::int64_t{4294967296});
    EXPECT_EQ(preferences.hotkey(), (Hotkey{5, 768}));
    store.setValue(prefs::hotkeyKeyCode, std::int64_t{12});
    store.setValue(prefs::hotkeyModifiers, std::int64_t{-1});
    EXPECT_EQ(preferences.hotkey(), (Hotkey{5, 768}));
    store.remove(prefs::hotkeyModifiers);
    EXPECT_EQ(preferences.hotkey(), (Hotkey{12, 768}));
}

TEST(HotkeyText, ModifiersInLinuxOrderThenTheKey) {
    struct Case {
        Hotkey hotkey;
        const char* text;
    };
    for (const Case& c :
         {Case{{5, 768}, "Ctrl+Shift+G"}, Case{{40, 7936}, "Ctrl+Alt+Shift+Super+K"},
          Case{{122, 4096}, "Super+F1"}, Case{{49, 2048}, "Alt+Space"},
          Case{{89, 256}, "Ctrl+Num+7"}, Case{{10, 256}, "Ctrl+?"}, Case{{0, 0}, "A"}}) {
        EXPECT_EQ(hotkeyText(c.hotkey), c.text);
    }
}

TEST(HotkeyKeys, CodesAndKeysymsFindEachOther) {
    std::set<std::uint32_t> codes, keysyms;
    for (const HotkeyKey& key : hotkeyKeys()) {
        EXPECT_TRUE(codes.insert(key.code).second) << key.code;
        EXPECT_TRUE(keysyms.insert(key.keysym).second) << key.keysym;
        EXPECT_EQ(hotkeyKeyForKeysym(key.keysym)->code, key.code);
    }
    EXPECT_EQ(hotkeyKeyForCode(5)->keysym, 0x67u);  // g
    EXPECT_EQ(hotkeyKeyForKeysym('G')->code, 5u);
    EXPECT_EQ(hotkeyKeyForCode(10), std::nullopt);
    EXPECT_EQ(hotkeyKeyForKeysym(0xffe1), std::nullopt);  // Shift_L is no key of its own
}

}  // namespace
}  // namespace zarvex
