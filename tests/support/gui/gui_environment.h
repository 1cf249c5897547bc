#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <functional>
#include <memory>

class QWidget;

namespace zarvex {
class GuiApplication;
}

namespace zarvex::testing {

class Xvfb;

// What a widget test program runs on: a private Xvfb with openbox and the
// application started by the real GUI bootstrap on it (QT_QPA_PLATFORM=xcb),
// with HOME and the XDG folders in a fresh temporary folder, so preferences,
// autostart entries and recordings never touch the user's. Started on first
// use, kept for the whole program, stopped after the last test.
class GuiEnvironment {
  public:
    static GuiEnvironment& get();

    const Xvfb& server() const;
    GuiApplication& application();
    // The temporary home folder (also XDG_CONFIG_HOME's parent).
    const std::filesystem::path& home() const;

  private:
    friend class GuiEnvironmentHolder;
    GuiEnvironment();
    ~GuiEnvironment();

    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Base of widget tests: the environment is up before the first test.
class GuiTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { GuiEnvironment::get(); }
};

// Shows a top-level widget and waits until the X server has exposed it
// (and pending events are handled); false on timeout.
bool showAndWait(QWidget& window);

// What the screen shows under the widget (window manager frame excluded).
QImage grabFromScreen(const QWidget& widget);

// Runs the application's event loop (not a loop of sleeps, so the main thread
// answers events at once, as it does for a user) until `condition` holds;
// false when it still does not after `timeoutMs`.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 60000);
// Runs the event loop for `ms` milliseconds.
void runEventLoop(int ms);

}  // namespace zarvex::testing
