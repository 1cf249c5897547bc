// `zarvex record` as a user runs it, against a private Xvfb; its folders and
// movies checked with ffprobe and ffmpeg.

#include <signal.h>

#include <gtest/gtest.h>

#include <thread>

#include "ffprobe.h"
#include "model/project.h"
#include "pulse_daemon.h"
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
    // No audio server unless a test starts one: the audio tracks stay silent.
    std::string pulseServer = "unix:" + (home / "no-pulse").string();
    std::filesystem::path errors = home / "stderr.txt";

    // The user's environment: a private home, the audio server, the test's X server.
    std::map<std::string, std::string> environment() const {
        return {{"DISPLAY", server.display()},
                {"HOME", home.path().string()},
                {"XDG_CONFIG_HOME", (home / ".config").string()},
                {"PULSE_SERVER", pulseServer}};
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

    // `zarvex ARGS`, its stderr into `errors`; `shell` runs first in the
    // shell that then becomes zarvex (same process).
    std::unique_ptr<ChildProcess> startRecording(
        std::vector<std::string> args = {"record", "--no-mic", "--no-system-audio"},
        const std::string& shell = "") const {
        std::vector<std::string> argv = {"bash", "-c", shell + "exec \"$@\" 2>" + errors.string(),
                                         "bash", ZARVEX_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>(argv,
                                              ChildProcess::Options{.environment = environment()});
    }

    // The one recording folder, once `file` exists in it (project.json is
    // written right after T0).
    std::filesystem::path waitFor(const std::string& file = "screen.mov") const {
        std::filesystem::path folder;
        EXPECT_TRUE(testing::eventually([&] {
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(recordings, error)) {
                if (std::filesystem::exists(entry.path() / file)) {
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
    EXPECT_TRUE(std::filesystem::exists(folder / "events.json"));

    // The export reads project.json.
    const auto exported = home / "out.mp4";
    const ProcessResult exporting = zarvex({"export", folder.string(), "-o", exported.string()});
    ASSERT_EQ(exporting.exitCode, 0) << exporting.err;
    const auto streams = testing::probeStreams(exported);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].rfind("h264 ", 0), 0u) << streams[0];
    EXPECT_EQ(streams[1], "aac");
    EXPECT_NEAR(testing::lastFrameTime(exported), 2.0, 0.1);
}

// The default recording (microphone and system audio on) ended by a signal:
// an interrupt stops it cleanly (the folder printed, the movie finished); a
// kill at various moments leaves a movie that opens, with every track, and
// holds the video up to at most a second before the kill, whatever the audio
// server does.
TEST_F(RecordCommand, InterruptedOrKilledRecorderKeepsItsMovie) {
    auto window = animation();
    struct Setup {
        std::string name;
        int signal;
        double after;
        bool server;
        bool microphone;
    };
    for (const Setup& setup :
         {Setup{"SIGINT", SIGINT, 1.0, false, false}, Setup{"SIGTERM", SIGTERM, 1.0, false, false},
          Setup{"SIGHUP", SIGHUP, 1.0, false, false},
          Setup{"no audio server", SIGKILL, 1.3, false, false},
          Setup{"a server without a microphone", SIGKILL, 2.2, true, false},
          Setup{"both sources live", SIGKILL, 3.1, true, true}}) {
        SCOPED_TRACE(setup.name);
        std::optional<testing::PulseDaemon> pulse;
        if (setup.server) {
            pulse.emplace();
            pulseServer = pulse->server();
            if (setup.microphone) {
                pulse->addMicrophone();
            }
        }
        auto recorder = startRecording({"record"});
        const auto folder = waitFor("project.json");
        std::this_thread::sleep_for(std::chrono::duration<double>(setup.after));
        ::kill(recorder->pid(), setup.signal);
        const bool killed = setup.signal == SIGKILL;
        if (!killed) {
            EXPECT_EQ(recorder->readLine(30s), folder.string());
            EXPECT_EQ(recorder->readLine(30s), std::nullopt);  // it has exited
        }
        EXPECT_EQ(recorder->stop(), killed ? 128 + SIGKILL : 0);

        const auto movie = folder / "screen.mov";
        EXPECT_EQ(testing::probeStreams(movie),
                  (std::vector<std::string>{"h264 640x360", "aac", "aac"}));
        EXPECT_GE(testing::lastFrameTime(movie), setup.after - (killed ? 1.0 : 0.1));
        const ProcessResult decoded =
            testing::runProcess({"ffmpeg", "-v", "error", "-i", movie.string(), "-f", "null", "-"});
        EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
        std::filesystem::rename(folder, home / setup.name);
    }
}

// A disk that fills up ends the recording within a second with the writer's
// error; the movie keeps what was written and the folder its data files.
TEST_F(RecordCommand, FullDiskEndsTheRecordingAtOnceAndKeepsWhatWasWritten) {
    auto window = animation();
    // Files of this process may not grow beyond 64 KiB (a few seconds of this
    // animation); writing further fails (EFBIG) instead of raising SIGXFSZ.
    // What is kept is whole fragments: the first one, a key frame and half a
    // second of moves, must fit whatever the pace of the frames.
    auto recorder =
        startRecording({"record", "--no-mic", "--no-system-audio"}, "ulimit -f 64; trap '' XFSZ; ");
    const auto folder = waitFor();
    const auto movie = folder / "screen.mov";
    std::uintmax_t size = 0;
    auto grew = std::chrono::steady_clock::now();
    const auto deadline = grew + 60s;
    while (!recorder->exited() && std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (const auto now = std::filesystem::file_size(movie, error); !error && now != size) {
            size = now;
            grew = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(10ms);
    }
    const double tookSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - grew).count();
    EXPECT_EQ(recorder->readLine(1s), std::nullopt);  // no folder printed
    EXPECT_EQ(recorder->stop(), 1);
    EXPECT_LE(tookSeconds, 1.5);
    EXPECT_EQ(testing::readText(errors),
              "zarvex: Recording failed: Could not write screen.mov: File too large\n");
    EXPECT_GE(testing::lastFrameTime(movie), 0.3);
    EXPECT_TRUE(std::filesystem::exists(folder / "project.json"));
    EXPECT_TRUE(std::filesystem::exists(folder / "events.json"));
}

// With both sources live, recording begins (T0) within 0.35 s of the command
// being run. T0 is read off events.json: a click's time there is its X server
// time − T0, and the click happens while xdotool runs. The best of three runs
// counts: another program on the machine can hold up any one start, while a
// start that waits for something (the first audio, say) is late every time.
TEST_F(RecordCommand, RecordingBeginsWithinAFractionOfASecondWithBothSourcesLive) {
    testing::PulseDaemon pulse;
    pulse.addMicrophone();
    pulseServer = pulse.server();
    double best = 1e9;
    for (int run = 0; run < 3 && best > 0.35; ++run) {
        const auto started = std::chrono::steady_clock::now();
        auto recorder = startRecording({"record"});
        const auto folder = waitFor("project.json");
        testing::runXClient(server, {"xdotool", "mousemove", "100", "100", "mousedown", "1"});
        const auto clicked = std::chrono::steady_clock::now();
        testing::runXClient(server, {"xdotool", "mouseup", "1"});
        ::kill(recorder->pid(), SIGINT);
        EXPECT_EQ(recorder->readLine(30s), folder.string());
        // It ends by itself once the folder is out (with 0, as the signal table checks).
        EXPECT_TRUE(testing::eventually([&] { return recorder->exited(); }));
        const RecordedEvents events = readEventsFile(folder / "events.json");
        std::filesystem::remove_all(folder);
        ASSERT_EQ(events.clicks.size(), 1u);
        best = std::min(
            best, std::chrono::duration<double>(clicked - started).count() - events.clicks[0].t);
    }
    EXPECT_LE(best, 0.35);
}

// An X server that stops answering (stopped, not gone) cannot hang the stop;
// one that goes away ends the recording; both keep the movie and fail.
TEST_F(RecordCommand, HungOrVanishedDisplayServerKeepsTheMovieAndFails) {
    auto window = animation();
    auto recorder = startRecording();
    auto folder = waitFor();
    std::this_thread::sleep_for(1500ms);
    ::kill(server.pid(), SIGSTOP);
    std::this_thread::sleep_for(300ms);
    const auto asked = std::chrono::steady_clock::now();
    ::kill(recorder->pid(), SIGINT);
    EXPECT_EQ(recorder->readLine(10s), std::nullopt);  // no folder printed
    const double tookSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    EXPECT_EQ(recorder->stop(), 1);
    ::kill(server.pid(), SIGCONT);
    EXPECT_LT(tookSeconds, 3.0);
    EXPECT_EQ(testing::readText(errors), "zarvex: The X display stopped responding.\n");
    EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 1.4);
    std::filesystem::rename(folder, home / "hung");

    // The server goes away.
    recorder = startRecording();
    folder = waitFor();
    std::this_thread::sleep_for(1500ms);
    server.stop();
    EXPECT_EQ(recorder->readLine(30s), std::nullopt);  // no folder printed
    EXPECT_EQ(recorder->stop(), 1);
    EXPECT_GE(testing::lastFrameTime(folder / "screen.mov"), 1.0);
}

TEST_F(RecordCommand, FailuresAreOneLineAndLeaveNoFolder) {
    ProcessResult result = zarvex({"record", "--camera", "--seconds", "1"});  // no camera here
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "zarvex: Recording failed: No camera available.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(std::filesystem::exists(recordings) && !std::filesystem::is_empty(recordings));

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
}

}  // namespace
}  // namespace zarvex
