// `zarvex displays` and `zarvex record` in a Wayland session (with Xwayland's
// DISPLAY set, as on real desktops): the screen comes through the real portal
// frontend and PipeWire from the stand-in's cast of colour bars.

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

constexpr const char* kRefusal =
    "zarvex: Screen recording was not allowed. Choose what to share in your desktop's dialog to "
    "record.\n";

struct Rgb {
    int r, g, b;
};

class WaylandRecording : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        desktop = new testing::WaylandDesktop(ZARVEX_SCREENCAST_STANDIN, {ZARVEX_BINARY});
    }
    static void TearDownTestSuite() {
        delete desktop;
        desktop = nullptr;
    }

    static ProcessResult zarvex(std::vector<std::string> args) {
        args.insert(args.begin(), desktop->program(ZARVEX_BINARY).string());
        return desktop->run(args);
    }

    // The frame of `movie` at `seconds`, as RGB.
    static std::function<Rgb(int, int)> frameAt(const fs::path& movie, double seconds) {
        const ProcessResult frame = testing::runProcess(
            {"ffmpeg", "-v", "error", "-ss", std::to_string(seconds), "-i", movie.string(),
             "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
        const int width = testing::probeMovie(movie)["streams"][0]["width"].get<int>();
        return [width, pixels = frame.out](int x, int y) {
            const std::size_t at = (std::size_t(y) * width + x) * 3;
            if (at + 2 >= pixels.size()) {
                return Rgb{-1, -1, -1};
            }
            return Rgb{static_cast<unsigned char>(pixels[at]),
                       static_cast<unsigned char>(pixels[at + 1]),
                       static_cast<unsigned char>(pixels[at + 2])};
        };
    }

    static void expectColour(const Rgb& seen, const Rgb& bar) {
        EXPECT_NEAR(seen.r, bar.r, 24);
        EXPECT_NEAR(seen.g, bar.g, 24);
        EXPECT_NEAR(seen.b, bar.b, 24);
    }

    static std::string standInLog() {
        std::ifstream in(desktop->castFolder() / "log");
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static std::set<fs::path> recordings() {
        std::set<fs::path> folders;
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator(desktop->home() / "Videos" / "Zarvex", error)) {
            folders.insert(entry.path());
        }
        return folders;
    }

    static inline testing::WaylandDesktop* desktop = nullptr;
};

// The colour bars' top row, left to right, each 1280/7 wide.
const Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                     {255, 0, 255},   {255, 0, 0},   {0, 0, 255}};

// The output is listed as the toolkit sees it (not Xwayland's screen), a
// display recording holds the cast's picture at the output's size, the
// desktop's token is kept and restores the choice next time, and a region is
// cut from the display's stream at its place and size.
TEST_F(WaylandRecording, DisplaysAndRegionsComeFromTheDesktopsScreenCast) {
    const ProcessResult displays = zarvex({"displays"});
    ASSERT_EQ(displays.exitCode, 0) << displays.err;
    const std::string id = displays.out.substr(0, displays.out.find(' '));
    EXPECT_EQ(displays.out, id + " \"HEADLESS-1\" 0,0 1280x720 scale 1 primary\n");

    const ProcessResult display =
        zarvex({"record", "--seconds", "2", "--no-mic", "--no-system-audio"});
    ASSERT_EQ(display.exitCode, 0) << display.err;
    const fs::path first = display.out.substr(0, display.out.size() - 1) + "/screen.mov";
    EXPECT_EQ(testing::probeStreams(first), (std::vector<std::string>{"h264 1280x720"}));
    EXPECT_GE(testing::lastFrameTime(first), 1.5);
    const auto picture = frameAt(first, 1.0);
    for (int bar = 0; bar < 7; ++bar) {
        SCOPED_TRACE(bar);
        expectColour(picture(1280 * bar / 7 + 91, 150), kBars[bar]);
    }
    std::ifstream settings(desktop->home() / ".config" / "Zarvex" / "Zarvex.conf");
    const std::string stored{std::istreambuf_iterator<char>(settings), {}};
    EXPECT_NE(stored.find("screenCastMonitorToken="), std::string::npos) << stored;

    // Regions follow the display's rules: 301x201 points make a 300x200
    // movie from (100, 50) on; the cursor switch picks the portal's mode.
    const ProcessResult region =
        zarvex({"record", "--seconds", "1", "--no-mic", "--no-system-audio", "--no-cursor",
                "--region", id + ":100,50,301,201"});
    ASSERT_EQ(region.exitCode, 0) << region.err;
    const fs::path second = region.out.substr(0, region.out.size() - 1) + "/screen.mov";
    EXPECT_EQ(testing::probeStreams(second), (std::vector<std::string>{"h264 300x200"}));
    const auto part = frameAt(second, 0.5);
    expectColour(part(70, 100), kBars[0]);   // x 170 on the display
    expectColour(part(110, 100), kBars[1]);  // x 210
    expectColour(part(290, 100), kBars[2]);  // x 390
    // The first session asked (embedded cursor), the second was restored by
    // the kept token (hidden cursor).
    EXPECT_EQ(standInLog(), "restore none cursor 2\nrestore display cursor 1\n");
}

// A cast that stops delivering (a still screen) still makes a movie that
// covers the still time and survives the recorder being killed.
TEST_F(WaylandRecording, StillStreamKeepsItsMovieWhenKilled) {
    const auto before = recordings();
    auto recorder = desktop->start(
        {desktop->program(ZARVEX_BINARY).string(), "record", "--no-mic", "--no-system-audio"},
        desktop->home() / "still.err");
    fs::path movie;
    ASSERT_TRUE(testing::eventually([&] {
        for (const auto& folder : recordings()) {
            if (!before.contains(folder) && fs::exists(folder / "project.json")) {
                movie = folder / "screen.mov";
                return true;
            }
        }
        return false;
    }));
    std::this_thread::sleep_for(1s);
    std::ifstream castPid(desktop->castFolder() / "cast-pid");
    pid_t cast = 0;
    castPid >> cast;
    ASSERT_GT(cast, 0);
    ::kill(cast, SIGSTOP);
    std::this_thread::sleep_for(2500ms);
    const pid_t recorderPid = desktop->processNamed("zarvex");
    ASSERT_GT(recorderPid, 0);
    ::kill(recorderPid, SIGKILL);
    recorder->stop();
    ::kill(cast, SIGCONT);

    EXPECT_EQ(testing::probeStreams(movie), (std::vector<std::string>{"h264 1280x720"}));
    EXPECT_GE(testing::lastFrameTime(movie), 2.5);
    const ProcessResult decoded =
        testing::runProcess({"ffmpeg", "-v", "error", "-i", movie.string(), "-f", "null", "-"});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    expectColour(frameAt(movie, testing::lastFrameTime(movie))(91, 150), kBars[0]);
}

// Cancelling the desktop's dialog, and a session bus without the portal,
// fail with their own texts and leave no recording behind.
TEST_F(WaylandRecording, RefusalsAreReportedInTheDesktopsWords) {
    const auto before = recordings();
    { std::ofstream(desktop->castFolder() / "answer") << "cancel"; }
    const ProcessResult cancelled = zarvex({"record", "--seconds", "1", "--no-mic"});
    fs::remove(desktop->castFolder() / "answer");
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_EQ(cancelled.err, kRefusal);

    const ProcessResult noPortal = desktop->run(
        {"env", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (desktop->home() / "no-bus").string(),
         desktop->program(ZARVEX_BINARY).string(), "record", "--seconds", "1", "--no-mic"});
    EXPECT_EQ(noPortal.exitCode, 1);
    EXPECT_EQ(noPortal.err,
              "zarvex: Zarvex needs the desktop's screen-sharing service (xdg-desktop-portal) to "
              "record on Wayland.\n");
    EXPECT_EQ(recordings(), before);
}

}  // namespace
}  // namespace zarvex
