#include "model/preferences.h"

#include <gtest/gtest.h>

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

    // A hotkey outside unsigned 32 bits falls back to the default.
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

}  // namespace
}  // namespace zarvex
