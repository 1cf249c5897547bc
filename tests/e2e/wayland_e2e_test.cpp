// `zarvex displays` and `zarvex record` in a Wayland session (Xwayland's
// DISPLAY set too, as on real desktops): the screen comes through the real
// portal frontend and PipeWire from the stand-in's cast of colour bars.

#include <signal.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <thread>

#include "ffprobe.h"
#include "wayland_desktop.h"
#include "x11/x11_test_support.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::ProcessResult;
namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};
// The colour bars' top row, left to right, each 1280/7 wide.
const Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                     {255, 0, 255},   {255, 0, 0},   {0, 0, 255}};

class WaylandRecording : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { desktop = new testing::WaylandDesktop({ZARVEX_BINARY}); }
    static void TearDownTestSuite() { delete desktop; }

    static std::vector<std::string> zarvex(std::vector<std::string> args) {
        args.insert(args.begin(), desktop->program(ZARVEX_BINARY));
        return args;
    }
    // `zarvex record` without sound sources, with `args`: the recording's movie.
    static fs::path record(std::vector<std::string> args) {
        args.insert(args.begin(), {"record", "--no-mic", "--no-system-audio"});
        const ProcessResult result = desktop->run(zarvex(args));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return fs::path(result.out.substr(0, result.out.size() - 1)) / "screen.mov";
    }
    static std::string text(const fs::path& file) {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::set<fs::path> recordings() {
        std::error_code error;
        const fs::directory_iterator all(desktop->home() / "Videos" / "Zarvex", error);
        return {fs::begin(all), fs::end(all)};
    }

    // Checks the movie's size and the colour at frame pixel (x, y) at `seconds`.
    static void expectPicture(const fs::path& movie, const std::string& size, double seconds, int x,
                              int y, const Rgb& bar) {
        EXPECT_EQ(testing::probeStreams(movie), std::vector<std::string>{"h264 " + size});
        const std::string pixels =
            testing::runProcess(
                {"ffmpeg", "-v", "error", "-ss", std::to_string(seconds), "-i", movie.string(),
                 "-frames:v", "1", "-vf",
                 "format=rgb24,crop=1:1:" + std::to_string(x) + ":" + std::to_string(y), "-f",
                 "rawvideo", "-pix_fmt", "rgb24", "-"})
                .out;
        ASSERT_EQ(pixels.size(), 3u) << movie;
        EXPECT_NEAR(static_cast<unsigned char>(pixels[0]), bar.r, 24) << x;
        EXPECT_NEAR(static_cast<unsigned char>(pixels[1]), bar.g, 24) << x;
        EXPECT_NEAR(static_cast<unsigned char>(pixels[2]), bar.b, 24) << x;
    }

    static inline testing::WaylandDesktop* desktop = nullptr;
};

// The output is listed as the toolkit sees it (not Xwayland's screen); a
// display recording holds the cast's picture at the output's size; the
// desktop's token is kept and sent the next time, and a region is cut from the
// display's stream at its place and size.
TEST_F(WaylandRecording, DisplaysAndRegionsComeFromTheDesktopsScreenCast) {
    const ProcessResult displays = desktop->run(zarvex({"displays"}));
    const std::string id = displays.out.substr(0, displays.out.find(' '));
    EXPECT_EQ(displays.out, id + " \"HEADLESS-1\" 0,0 1280x720 scale 1 primary\n");

    const fs::path first = record({"--seconds", "2"});
    EXPECT_GE(testing::lastFrameTime(first), 1.5);
    for (int bar = 0; bar < 7; ++bar) {
        expectPicture(first, "1280x720", 1.0, 1280 * bar / 7 + 91, 150, kBars[bar]);
    }
    EXPECT_NE(text(desktop->home() / ".config/Zarvex/Zarvex.conf").find("screenCastMonitorToken="),
              std::string::npos);

    // 301x201 points make a 300x200 movie from (100, 50) on, as on X11.
    const fs::path second =
        record({"--seconds", "1", "--no-cursor", "--region", id + ":100,50,301,201"});
    expectPicture(second, "300x200", 0.5, 70, 100, kBars[0]);   // x 170 on the display
    expectPicture(second, "300x200", 0.5, 110, 100, kBars[1]);  // x 210
    expectPicture(second, "300x200", 0.5, 290, 100, kBars[2]);  // x 390
    // Asked the first time with the cursor drawn in, restored the second
    // time with it hidden.
    EXPECT_EQ(text(desktop->castFolder() / "log"),
              "restore none cursor 2\nrestore display cursor 1\n");

    // No windows are listed: a window is picked in the desktop's dialog.
    EXPECT_EQ(desktop->run(zarvex({"windows"})).out, "");
    const fs::path third = record({"--seconds", "1", "--window", "0"});
    expectPicture(third, "1280x720", 0.5, 91, 150, kBars[0]);
    EXPECT_NE(text(desktop->home() / ".config/Zarvex/Zarvex.conf").find("screenCastWindowToken="),
              std::string::npos);
}

// A cast that stops delivering (a still screen) still makes a movie that
// covers the still time and survives the recorder being killed.
TEST_F(WaylandRecording, StillStreamKeepsItsMovieWhenKilled) {
    const auto before = recordings();
    pid_t recorderPid = 0;
    auto recorder =
        desktop->start(zarvex({"record", "--no-mic", "--no-system-audio"}), recorderPid);
    fs::path movie;
    ASSERT_TRUE(testing::eventually([&] {
        for (const auto& folder : recordings()) {
            movie = folder / "screen.mov";
            if (!before.contains(folder) && fs::exists(folder / "project.json")) {
                return true;
            }
        }
        return false;
    }));
    std::this_thread::sleep_for(1s);
    const pid_t cast = std::stoi(text(desktop->castFolder() / "cast-pid"));
    ::kill(cast, SIGSTOP);
    std::this_thread::sleep_for(2500ms);
    ::kill(recorderPid, SIGKILL);
    recorder->stop();
    ::kill(cast, SIGCONT);

    EXPECT_GE(testing::lastFrameTime(movie), 2.5);
    expectPicture(movie, "1280x720", testing::lastFrameTime(movie), 91, 150, kBars[0]);
}

// Cancelling the desktop's dialog, and a session bus without the portal,
// fail with their own texts and leave no recording behind.
TEST_F(WaylandRecording, RefusalsAreReportedInTheDesktopsWords) {
    const auto before = recordings();
    std::ofstream(desktop->castFolder() / "answer").close();
    const ProcessResult cancelled = desktop->run(zarvex({"record", "--seconds", "1"}));
    fs::remove(desktop->castFolder() / "answer");
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_EQ(cancelled.err,
              "zarvex: Screen recording was not allowed. Choose what to share in your desktop's "
              "dialog to record.\n");

    std::vector<std::string> noBus = zarvex({"record", "--seconds", "1"});
    noBus.insert(noBus.begin(), {"env", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"});
    const ProcessResult noPortal = desktop->run(noBus);
    EXPECT_EQ(noPortal.exitCode, 1);
    EXPECT_EQ(noPortal.err,
              "zarvex: Zarvex needs the desktop's screen-sharing service (xdg-desktop-portal) to "
              "record on Wayland.\n");
    EXPECT_EQ(recordings(), before);

    // Ctrl-C while the dialog is open ends the wait.
    std::ofstream(desktop->castFolder() / "hold").close();
    const std::string asked = text(desktop->castFolder() / "log");
    pid_t recorderPid = 0;
    auto recorder =
        desktop->start(zarvex({"record", "--no-mic", "--no-system-audio"}), recorderPid);
    EXPECT_TRUE(testing::eventually([&] { return text(desktop->castFolder() / "log") != asked; }));
    ::kill(recorderPid, SIGINT);
    EXPECT_TRUE(testing::eventually([&] { return recorder->exited(); }));
    fs::remove(desktop->castFolder() / "hold");
    EXPECT_EQ(recorder->stop(), 1);
    EXPECT_EQ(recordings(), before);

    // Without its compositor a Wayland session has no desktop, Xwayland or not.
    std::vector<std::string> noCompositor = zarvex({"displays"});
    noCompositor.insert(noCompositor.begin(), {"env", "WAYLAND_DISPLAY=gone"});
    const ProcessResult gone = desktop->run(noCompositor);
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.err,
              "zarvex: Zarvex needs the Wayland desktop to record: WAYLAND_DISPLAY is not set or "
              "its compositor cannot be reached.\n");
}

// Where no tray host runs, the tray application shows its menu as the window
// "Zarvex"; `zarvex toggle` and the desktop's shortcut (bound through the
// portal with the stored shortcut as preferred trigger) each run its primary
// action: the first starts a selection, whose overlay dims the screen on
// Wayland too, the second cancels it.
TEST_F(WaylandRecording, TrayApplicationWithoutTrayHost) {
    const auto windows = [] {
        const std::string tree = desktop->run({"swaymsg", "-t", "get_tree"}).out;
        std::vector<std::string> names;
        for (auto at = tree.find("\"app_id\": \"zarvex\""); at != std::string::npos;
             at = tree.find("\"app_id\": \"zarvex\"", at + 1)) {
            const auto name = tree.rfind("\"name\": \"", at) + 9;
            names.push_back(tree.substr(name, tree.find('"', name) - name));
        }
        return names;
    };
    // The grey of the desktop at a point away from every window, from grim.
    const auto grey = [] {
        const std::string ppm = desktop->run({"grim", "-t", "ppm", "-g", "100,100 1x1", "-"}).out;
        return ppm.empty() ? -1 : static_cast<unsigned char>(ppm.back());
    };
    const int undimmed = grey();
    ASSERT_GT(undimmed, 0);
    pid_t pid = 0;
    auto tray = desktop->start(zarvex({}), pid);
    ASSERT_TRUE(
        testing::eventually([&] { return windows() == std::vector<std::string>{"Zarvex"}; }));
    ASSERT_TRUE(testing::eventually([&] {
        return text(desktop->castFolder() / "log")
                   .find("bind toggle-recording Start or stop recording CTRL+SHIFT+g\n") !=
               std::string::npos;
    }));

    EXPECT_EQ(desktop->run(zarvex({"toggle"})).exitCode, 0);
    // Black at 0.4 over the desktop.
    EXPECT_TRUE(testing::eventually([&] { return std::abs(grey() - undimmed * 6 / 10) <= 2; }))
        << grey() << " over " << undimmed;
    EXPECT_EQ(windows().size(), 2u);

    std::ofstream(desktop->castFolder() / "press").close();
    EXPECT_TRUE(testing::eventually([&] { return grey() == undimmed; }));
    EXPECT_EQ(windows(), std::vector<std::string>{"Zarvex"});
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(testing::eventually([&] { return tray->exited(); }));
    EXPECT_EQ(tray->stop(), 0);
}

}  // namespace
}  // namespace zarvex
