// `zarvex record` as a user runs it, against a private Xvfb; its folders and
// movies checked with ffprobe and ffmpeg.

#include <signal.h>

#include <gtest/gtest.h>

#include <thread>

#include "ffprobe.h"
#include "temp_dir.h"
#include "x11/x11_test_support.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::ProcessResult;

class RecordCommand : public ::testing::Test {
  protected:
    testing::Xvfb server{640, 360};
    testing::TempDir home;
    std::filesystem::path recordings = home / "Videos" / "Zarvex";

    // The user's environment: a private home, no audio server (the audio
    // tracks stay silent), the test's X server.
    std::map<std::string, std::string> environment() const {
        return {{"DISPLAY", server.display()},
                {"HOME", home.path().string()},
                {"XDG_CONFIG_HOME", (home / ".config").string()},
                {"PULSE_SERVER", "unix:" + (home / "no-pulse").string()}};
    }

    ProcessResult zarvex(const std::vector<std::string>& args) const {
        std::vector<std::string> argv = {"env"};
        for (const auto& [name, value] : environment()) {
            argv.push_back(name + "=" + value);
        }
        argv.push_back(ZARVEX_BINARY);
        argv.insert(argv.end(), args.begin(), args.end());
        return testing::runProcess(argv);
    }

    std::unique_ptr<ChildProcess> startRecording() const {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{ZARVEX_BINARY, "record", "--no-mic", "--no-system-audio"},
            ChildProcess::Options{.environment = environment()});
    }

    // The one recording folder, once its screen movie exists.
    std::filesystem::path waitForMovie() const {
        std::filesystem::path folder;
        EXPECT_TRUE(testing::eventually([&] {
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(recordings, error)) {
                if (std::filesystem::exists(entry.path() / "screen.mov")) {
                    folder = entry.path();
                    return true;
                }
            }
            return false;
        }));
        return folder;
    }

    std::unique_ptr<testing::TestWindow> animation() const {
        auto window = std::make_unique<testing::TestWindow>(
            ZARVEX_TEST_WINDOW, server,
            testing::TestWindow::Options{.x = 0, .y = 0, .width = 640, .height = 360});
        window->command("animate 40");
        return window;
    }

    std::size_t recordingCount() const {
        std::error_code error;
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(recordings, error)) {
            ++count;
        }
        return count;
    }
};

TEST_F(RecordCommand, RecordsIntoTheFolderFromTheSettingsAndExportsAtTheSameLength) {
    auto window = animation();
    const auto mine = home / "My recordings";
    std::filesystem::create_directories(home / ".config" / "Zarvex");
    testing::writeText(home / ".config" / "Zarvex" / "Zarvex.conf",
                       "[General]\nrecordingsFolder=" + mine.string() + "\n");
    const ProcessResult result = zarvex({"record", "--seconds", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    ASSERT_FALSE(result.out.empty());
    EXPECT_EQ(result.out.back(), '\n');
    const std::filesystem::path folder = result.out.substr(0, result.out.size() - 1);
    EXPECT_EQ(folder.parent_path(), mine);
    EXPECT_EQ(testing::probeStreams(folder / "screen.mov"),
              (std::vector<std::string>{"h264 640x360", "aac", "aac"}));
    EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 1.9);
    EXPECT_TRUE(std::filesystem::exists(folder / "project.json"));
    EXPECT_TRUE(std::filesystem::exists(folder / "events.json"));

    const auto exported = home / "out.mp4";
    const ProcessResult exporting = zarvex({"export", folder.string(), "-o", exported.string()});
    ASSERT_EQ(exporting.exitCode, 0) << exporting.err;
    const auto streams = testing::probeStreams(exported);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].rfind("h264 ", 0), 0u) << streams[0];
    EXPECT_EQ(streams[1], "aac");
    EXPECT_NEAR(testing::lastFrameTime(exported), 2.0, 0.1);
}

TEST_F(RecordCommand, InterruptsStopCleanlyAndFinishTheMovie) {
    auto window = animation();
    for (int signal : {SIGINT, SIGTERM}) {
        auto recorder = startRecording();
        const auto folder = waitForMovie();
        std::this_thread::sleep_for(1s);
        ::kill(recorder->pid(), signal);
        EXPECT_EQ(recorder->readLine(30s), folder.string());
        EXPECT_EQ(recorder->readLine(30s), std::nullopt);  // it has exited
        EXPECT_EQ(recorder->stop(), 0);
        EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 0.9);
        std::filesystem::rename(folder, home / ("done " + std::to_string(signal)));
    }
}

TEST_F(RecordCommand, KilledRecorderLeavesAMovieOfWhatWasCaptured) {
    auto window = animation();
    auto recorder = startRecording();
    const auto folder = waitForMovie();
    std::this_thread::sleep_for(4s);
    ::kill(recorder->pid(), SIGKILL);
    EXPECT_EQ(recorder->stop(), 128 + SIGKILL);

    const ProcessResult decoded = testing::runProcess(
        {"ffmpeg", "-v", "error", "-i", (folder / "screen.mov").string(), "-f", "null", "-"});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 3.0);
}

TEST_F(RecordCommand, ServerThatGoesAwayKeepsTheMovieAndFails) {
    auto window = animation();
    auto recorder = startRecording();
    const auto folder = waitForMovie();
    std::this_thread::sleep_for(1500ms);
    server.stop();
    EXPECT_EQ(recorder->readLine(30s), std::nullopt);  // no folder printed
    EXPECT_EQ(recorder->stop(), 1);
    EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 1.0);
}

TEST_F(RecordCommand, FailuresAreOneLineAndLeaveNoFolder) {
    ProcessResult result = zarvex({"record", "--display", "4000000000", "--seconds", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zarvex: No display available to record.\n");
    EXPECT_EQ(result.out, "");
    result = zarvex({"record", "--camera", "--seconds", "1"});  // no camera on test machines
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zarvex: Recording failed: No camera available.\n");
    EXPECT_EQ(recordingCount(), 0u);

    for (const std::vector<std::string>& wrong : {
             std::vector<std::string>{"record", "--seconds", "0"},
             {"record", "--display", "1", "--window", "2"},
             {"record", "--region", "1:0,0,10"},
             {"record", "--display", "screen"},
             {"record", "--loud"},
         }) {
        result = zarvex(wrong);
        EXPECT_EQ(result.exitCode, 2) << wrong.back();
        EXPECT_NE(result.err.find("Usage: zarvex record"), std::string::npos);
    }

    result = testing::runProcess(
        {"env", "-u", "DISPLAY", "-u", "XDG_SESSION_TYPE", ZARVEX_BINARY, "record"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err,
              "zarvex: Zarvex needs an X11 display to record: DISPLAY is not set or the display "
              "cannot be opened.\n");
}

}  // namespace
}  // namespace zarvex
