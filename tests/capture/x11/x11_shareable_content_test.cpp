// Displays and windows of a private Xvfb, with and without a window manager,
// as the backend lists them and as `zarvex displays` and `zarvex windows` print them.

#include <gtest/gtest.h>

#include "capture/x11/x11_backend.h"
#include "process.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using testing::ProcessResult;
using testing::runProcess;
using testing::TestWindow;
using testing::WindowManager;
using testing::Xvfb;

ProcessResult zarvex(const std::string& display, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"env", "DISPLAY=" + display, ZARVEX_BINARY});
    return runProcess(arguments);
}

class ShareableContentTest : public ::testing::Test {
  protected:
    Xvfb server{1024, 768};
    std::unique_ptr<ShareableContentSource> source =
        makeX11ShareableContent({server.display(), {}, &systemClock()});

    TestWindow window(TestWindow::Options options) {
        return TestWindow(ZARVEX_TEST_WINDOW, server, options);
    }
};

TEST_F(ShareableContentTest, DisplaysUseTheScaleGivenForTheirOutput) {
    auto scaled = makeX11ShareableContent(
        {server.display(), [](const std::string& name) { return name == "screen" ? 2.0 : 1.0; },
         &systemClock()});
    auto shown = window({.x = 100, .y = 200, .width = 300, .height = 100});
    const ShareableContent content = scaled->content();
    EXPECT_EQ(content.displays.at(0).frame, (Rect{0, 0, 512, 384}));
    EXPECT_EQ(content.displays.at(0).pointPixelScale, 2);
    EXPECT_EQ(content.window(shown.id())->frame, (Rect{50, 100, 150, 50}));
    EXPECT_EQ(scaled->windowFrame(shown.id()), (Rect{50, 100, 150, 50}));
}

TEST_F(ShareableContentTest, ListsWindowsFrontToBackWithOwnerAndName) {
    auto lower = window({.x = 10, .y = 20, .width = 300, .height = 200, .title = "Lower"});
    auto upper = window({.x = 50,
                         .y = 60,
                         .width = 320,
                         .height = 240,
                         .title = "Überblick — notes",
                         .applicationClass = "Notes"});
    const auto windows = source->content().windows;
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(
        std::tuple(windows[0].id, windows[0].title, windows[0].applicationName, windows[1].id),
        std::tuple(upper.id(), "Überblick — notes", "Notes", lower.id()));

    lower.command("raise");
    EXPECT_EQ(source->content().windows.at(0).id, lower.id());
}

TEST_F(ShareableContentTest, HiddenWindowsAreNotListedButStillHaveAFrame) {
    auto hidden = window({.x = 30, .y = 40, .width = 100, .height = 80});
    auto menu = window({.x = 0, .y = 0, .width = 60, .height = 60, .overrideRedirect = true});
    hidden.command("unmap");
    const ShareableContent content = source->content();
    EXPECT_EQ(content.window(hidden.id()), nullptr);
    EXPECT_EQ(content.window(menu.id()), nullptr);  // popups are not application windows
    EXPECT_EQ(source->windowFrame(hidden.id()), (Rect{30, 40, 100, 80}));
    hidden.command("destroy");
    EXPECT_EQ(source->windowFrame(hidden.id()), std::nullopt);
}

TEST_F(ShareableContentTest, WindowsSayTheirLayerAndOpacity) {
    auto plain = window({.title = "Plain"});
    auto dock = window({.title = "Dock", .windowType = "DOCK"});
    auto desktop = window({.title = "Desktop", .windowType = "DESKTOP"});
    auto ghost = window({.title = "Ghost", .opacity = 0.0});
    auto half = window({.title = "Half", .opacity = 0.5});
    const ShareableContent content = source->content();
    struct Expected {
        std::uint32_t id;
        int layer;
        double alpha;
    };
    for (const Expected& e :
         {Expected{plain.id(), kNormalWindowLayer, 1.0}, Expected{dock.id(), 1, 1.0},
          Expected{desktop.id(), -1, 1.0}, Expected{ghost.id(), kNormalWindowLayer, 0.0},
          Expected{half.id(), kNormalWindowLayer, 0.5}}) {
        const ShareableWindow* listed = content.window(e.id);
        ASSERT_NE(listed, nullptr);
        EXPECT_EQ(listed->layer, e.layer) << listed->title;
        EXPECT_NEAR(listed->alpha, e.alpha, 1e-6) << listed->title;
    }
}

TEST_F(ShareableContentTest, WithAWindowManagerItsStackingListIsUsed) {
    WindowManager manager(server);
    auto first = window({.title = "First"});
    auto second = window({.x = 300, .y = 300, .title = "Second"});
    const ShareableContent content = source->content();
    ASSERT_EQ(content.windows.size(), 2u);
    EXPECT_EQ(std::tuple(content.windows[0].id, content.windows[0].title, content.windows[1].id),
              std::tuple(second.id(), "Second", first.id()));
    // The client's own area, inside the manager's frame.
    EXPECT_EQ(content.windows[0].frame.size(), (Size{200, 150}));
    EXPECT_EQ(source->windowFrame(second.id()), content.windows[0].frame);
}

TEST_F(ShareableContentTest, MissingOrLostDisplaysAreErrors) {
    server.stop();
    EXPECT_THROW(source->content(), ScreenCaptureError);
    EXPECT_THROW(source->windowFrame(1), ScreenCaptureError);
    EXPECT_THROW(makeX11ShareableContent({server.display(), {}, &systemClock()}),
                 ScreenCaptureError);
    testing::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    EXPECT_THROW(makeX11ScreenCapture(), ScreenCaptureError);
    EXPECT_THROW(makeX11InputMonitor(), ScreenCaptureError);
}

// The display id is stable; the displays and windows commands list each with
// its id first.
TEST_F(ShareableContentTest, DisplayIdsAreStableAndTheCommandsListEachDisplayAndWindow) {
    const ShareableContent first = source->content();
    ASSERT_EQ(first.displays.size(), 1u);
    EXPECT_NE(first.displays[0].id, 0u);
    EXPECT_EQ(source->content().displays, first.displays);
    // The command, on a connection of its own, gives the same id.
    const ProcessResult result = zarvex(server.display(), {"displays"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              std::to_string(first.displays[0].id) + " \"screen\" 0,0 1024x768 scale 1 primary\n");
    EXPECT_EQ(zarvex(server.display(), {"displays", "extra"}).exitCode, 2);

    auto notes = window({.x = 10, .y = 20, .width = 300, .height = 200, .title = "Notes"});
    auto second =
        window({.x = 40, .y = 50, .width = 64, .height = 48, .title = "Say \"hi\"\nagain"});
    const ProcessResult windows = zarvex(server.display(), {"windows"});
    EXPECT_EQ(windows.exitCode, 0) << windows.err;
    EXPECT_EQ(windows.out, std::to_string(second.id()) +
                               " \"Say \\\"hi\\\" again\" 40,50 64x48 pid " +
                               std::to_string(second.helperProcessID()) + " app \"ZarvexTest\"\n" +
                               std::to_string(notes.id()) + " \"Notes\" 10,20 300x200 pid " +
                               std::to_string(notes.helperProcessID()) + " app \"ZarvexTest\"\n");
}

}  // namespace
}  // namespace zarvex
