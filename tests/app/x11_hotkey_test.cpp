// The global hotkey on a private Xvfb, pressed with xdotool as a user would.

#include <gtest/gtest.h>

#include "app/hotkey_manager.h"
#include "app/x11/x11_hotkey.h"
#include "capture/shareable_content.h"
#include "event_loop.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::processEventsFor;
using testing::processEventsUntil;

class HotkeyTest : public ::testing::Test {
  protected:
    HotkeyTest() {
        manager.registerHandler([this] { ++presses; });
    }

    // Types the keys one after another.
    void press(std::vector<std::string> keys) {
        keys.insert(keys.begin(), {"xdotool", "key"});
        testing::runXClient(server, keys);
    }
    // True when the handler ran `expected` times in all, and no more.
    bool pressedTimes(int expected) {
        processEventsUntil([&] { return presses >= expected; }, 5s);
        processEventsFor(150ms);
        return presses == expected;
    }

    QCoreApplication& application = testing::coreApplication();
    testing::Xvfb server{640, 480};
    MemoryKeyValueStore store;
    Preferences preferences{store};
    ShortcutSettings shortcut{preferences};
    HotkeyManager manager{shortcut, makeX11GlobalHotkey(server.display())};
    int presses = 0;
};

TEST_F(HotkeyTest, TheStoredShortcutRunsOncePerPressWhateverTheLockKeysAre) {
    ASSERT_TRUE(manager.isRegistered());
    press({"ctrl+shift+g"});
    EXPECT_TRUE(pressedTimes(1));
    press({"ctrl+g", "shift+g", "ctrl+shift+alt+g", "g"});
    EXPECT_TRUE(pressedTimes(1));

    // Num Lock on, then both locks, then Caps Lock alone.
    int expected = 1;
    for (const char* lock : {"Num_Lock", "Caps_Lock", "Num_Lock"}) {
        press({lock, "ctrl+shift+g"});
        EXPECT_TRUE(pressedTimes(++expected)) << lock;
    }

    // A key held down runs it once.
    testing::runXClient(
        server, {"xdotool", "keydown", "ctrl+shift+g", "sleep", "1.5", "keyup", "ctrl+shift+g"});
    EXPECT_TRUE(pressedTimes(5));
}

TEST_F(HotkeyTest, AChangedShortcutReplacesTheOldOneUnlessAnotherProgramHoldsIt) {
    shortcut.store({{40, 7936}, "Ctrl+Alt+Shift+Super+K"});  // as the recorder does
    ASSERT_TRUE(manager.isRegistered());
    press({"ctrl+shift+g", "ctrl+alt+shift+k"});
    EXPECT_TRUE(pressedTimes(0));
    press({"ctrl+alt+shift+super+k"});
    EXPECT_TRUE(pressedTimes(1));

    // While the shortcut recorder listens the keys are free.
    shortcut.setRecording(true);
    EXPECT_FALSE(manager.isRegistered());
    press({"ctrl+alt+shift+super+k"});
    EXPECT_TRUE(pressedTimes(1));
    shortcut.setRecording(false);
    press({"ctrl+alt+shift+super+k"});
    EXPECT_TRUE(pressedTimes(2));

    // A shortcut another program holds is silently not registered.
    shortcut.setRecording(true);
    shortcut.store({Hotkey{}, "Ctrl+Shift+G"});
    auto other = makeX11GlobalHotkey(server.display());
    int otherPresses = 0;
    other->onPressed = [&] { ++otherPresses; };
    ASSERT_TRUE(other->grab({'g', prefs::kCommandKey | prefs::kShiftKey}));
    EXPECT_FALSE(other->grab({0x1008ff00, 0}));  // a keysym this keyboard lacks
    ASSERT_TRUE(other->grab({'g', prefs::kCommandKey | prefs::kShiftKey}));
    shortcut.setRecording(false);
    EXPECT_FALSE(manager.isRegistered());
    press({"ctrl+shift+g"});
    EXPECT_TRUE(processEventsUntil([&] { return otherPresses == 1; }, 5s));
    EXPECT_TRUE(pressedTimes(2));

    other->release();
    manager.reregister();
    EXPECT_TRUE(manager.isRegistered());
    press({"ctrl+shift+g"});
    EXPECT_TRUE(pressedTimes(3));
}

TEST(X11Hotkey, NeedsADisplay) {
    EXPECT_THROW(makeX11GlobalHotkey(std::string(":999")), ScreenCaptureError);
}

}  // namespace
}  // namespace zarvex
