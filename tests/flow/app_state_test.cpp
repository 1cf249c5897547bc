// The recording flow: permission check, selection, countdown, a real
// recording session on fake capture services, stop, the editor, the error line.

#include "flow/app_state.h"

#include <gtest/gtest.h>

#include "capture/errors.h"
#include "capture/recording_folder.h"
#include "fake_permissions.h"
#include "flow_fakes.h"
#include "recording_fakes.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using Phase = AppState::Phase;
using Phases = std::vector<Phase>;

const SelectionResult kWholeDisplay{DisplayTarget{testing::kDisplay}, false, false, false, true};

class AppStateTest : public ::testing::Test {
  protected:
    AppStateTest() {
        testing::coreApplication();
        preferences.setRecordingsFolder(folder.path().string());
        QObject::connect(&state, &AppState::phaseChanged,
                         [this](Phase phase) { phases.push_back(phase); });
    }

    // Starts a recording of the whole display and waits until it runs.
    void record(std::int64_t countdownSeconds = 0) {
        confirmSelection(countdownSeconds);
        ASSERT_TRUE(processEventsUntil([&] { return state.phase() == Phase::recording; }));
    }

    // Starts a recording, confirms the whole display and lets the countdown run out.
    void confirmSelection(std::int64_t countdownSeconds = 0) {
        preferences.setCountdownSeconds(countdownSeconds);
        state.toggleRecording();
        ASSERT_TRUE(processEventsUntil([&] { return selector.isAsking(); }));
        selector.answer(kWholeDisplay);
        if (countdownSeconds > 0) {
            ASSERT_TRUE(processEventsUntil([&] { return !countdown.runs.empty(); }));
            countdown.end(true);
        }
    }

    // Waits until no start or stop is under way.
    bool settled() {
        return processEventsUntil([&] { return !state.isBusy(); });
    }

    testing::TempDir folder;
    MemoryKeyValueStore store;
    Preferences preferences{store};
    testing::FakePermissionAuthority permissions;
    testing::ScriptedSelector selector;
    testing::ScriptedCountdown countdown;
    testing::LoggedIndicator indicator;
    testing::NoWebcam webcam;
    testing::FakeShareableContent content = testing::oneDisplayDesktop();
    testing::FakeScreenCapture screen;
    int cameraStops = 0;
    std::vector<std::pair<std::filesystem::path, std::optional<std::string>>> opened;
    Phases phases;
    AppState state{{
        .permissions = &permissions,
        .preferences = &preferences,
        .selector = &selector,
        .countdown = &countdown,
        .indicator = &indicator,
        .makeSession =
            [this](const SelectionResult& options, std::chrono::system_clock::time_point startsAt) {
                CaptureServices services;
                services.content = &content;
                services.screenCapture = &screen;
                return std::make_unique<RecordingSession>(services, webcam, options, preferences,
                                                          startsAt);
            },
        .stopCamera = [this] { ++cameraStops; },
        .openRecording =
            [this](const std::filesystem::path& path, std::optional<std::string> notice) {
                opened.emplace_back(path, notice);
            },
    }};
};

TEST_F(AppStateTest, ARefusedPermissionIsTheErrorLineAndACancelledSelectionClearsIt) {
    permissions.screenGranted = false;
    permissions.screenRequestGrants = false;
    state.toggleRecording();
    EXPECT_EQ(state.phase(), Phase::selecting);
    ASSERT_TRUE(settled());
    EXPECT_EQ(state.lastErrorMessage(),
              PermissionError(PermissionError::Kind::screenRecordingDenied).what());
    EXPECT_EQ(phases, (Phases{Phase::selecting, Phase::idle}));
    EXPECT_EQ(selector.begun, 0);

    // Granted, a cancelled selection returns to idle without an error.
    permissions.screenGranted = true;
    phases.clear();
    state.toggleRecording();
    EXPECT_EQ(state.lastErrorMessage(), std::nullopt);  // cleared by the start
    ASSERT_TRUE(processEventsUntil([&] { return selector.isAsking(); }));
    state.toggleRecording();  // the primary action while selecting cancels it
    ASSERT_TRUE(settled());
    EXPECT_EQ(selector.finished, (std::vector<std::optional<SelectionResult>>{std::nullopt}));
    EXPECT_EQ(phases, (Phases{Phase::selecting, Phase::idle}));
    EXPECT_EQ(state.lastErrorMessage(), std::nullopt);
    EXPECT_TRUE(countdown.runs.empty());
}

TEST_F(AppStateTest, CountdownLengthComesFromThePreferenceAndIsSkippedAtZeroOrBelow) {
    store.remove(prefs::countdownSeconds);
    state.toggleRecording();
    ASSERT_TRUE(processEventsUntil([&] { return selector.isAsking(); }));
    selector.answer(kWholeDisplay);
    ASSERT_TRUE(processEventsUntil([&] { return !countdown.runs.empty(); }));
    EXPECT_EQ(countdown.runs, std::vector<int>{3});
    EXPECT_EQ(state.phase(), Phase::countingDown);
    // The recording gets ready while the countdown runs.
    ASSERT_TRUE(processEventsUntil([&] { return screen.running(); }));
    EXPECT_FALSE(std::filesystem::is_empty(folder.path()));

    // The primary action cancels it; the camera a confirmed selection left
    // running is stopped, and what was prepared goes, folder and all.
    state.toggleRecording();
    ASSERT_TRUE(settled());
    EXPECT_EQ(countdown.cancels, 1);
    EXPECT_EQ(cameraStops, 1);
    EXPECT_FALSE(screen.running());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    EXPECT_EQ(phases, (Phases{Phase::selecting, Phase::countingDown, Phase::idle}));

    for (std::int64_t off : {0, -2}) {
        phases.clear();
        record(off);
        EXPECT_EQ(phases, (Phases{Phase::selecting, Phase::recording}));
        state.stopRecording();
        ASSERT_TRUE(settled());
    }
    EXPECT_EQ(countdown.runs, std::vector<int>{3});
}

TEST_F(AppStateTest, RecordingStopsAtOnceAndTheFinishedFolderOpensInTheEditor) {
    const auto chosen = std::chrono::system_clock::now();
    record(3);
    EXPECT_EQ(state.elapsedText(), "0:00");
    EXPECT_EQ(indicator.log, std::vector<std::string>{"show display"});
    EXPECT_TRUE(state.isRecording());
    ASSERT_TRUE(screen.running());
    screen.deliverFrame(systemClock().now());

    state.toggleRecording();
    EXPECT_EQ(state.phase(), Phase::idle);  // before the files are finished
    EXPECT_EQ(indicator.log, (std::vector<std::string>{"show display", "hide"}));
    EXPECT_TRUE(state.isBusy());
    EXPECT_TRUE(opened.empty());
    ASSERT_TRUE(settled());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first.parent_path(), folder.path());
    EXPECT_TRUE(std::filesystem::exists(opened[0].first / "screen.mov"));
    EXPECT_EQ(opened[0].second, std::nullopt);
    EXPECT_EQ(state.lastErrorMessage(), std::nullopt);
    // Named after the moment the countdown ends, not the one it began.
    const std::string name = opened[0].first.filename().string();
    EXPECT_TRUE(name == recordingFolderName(chosen + 3s) ||
                name == recordingFolderName(std::chrono::system_clock::now() + 3s))
        << name;
    EXPECT_EQ(phases,
              (Phases{Phase::selecting, Phase::countingDown, Phase::recording, Phase::idle}));
}

TEST_F(AppStateTest, FailuresOfStartAndStopBecomeTheErrorLine) {
    content.current.displays.clear();
    confirmSelection(1);  // the preparation fails (no display), told after the countdown
    ASSERT_TRUE(settled());
    EXPECT_EQ(state.lastErrorMessage(), "No display available to record.");
    EXPECT_EQ(phases, (Phases{Phase::selecting, Phase::countingDown, Phase::idle}));
    EXPECT_TRUE(indicator.log.empty());
    EXPECT_FALSE(state.isRecording());

    content = testing::oneDisplayDesktop();
    phases.clear();
    record();
    state.toggleRecording();  // no frame was captured
    ASSERT_TRUE(settled());
    EXPECT_EQ(state.lastErrorMessage(), "Recording failed: No frames were captured.");
    EXPECT_TRUE(opened.empty());
}

// What was captured before capture ended by itself opens in the editor with
// the reason in its banner; the reason is the error line too.
TEST_F(AppStateTest, ElapsedTimeTicksCaptureThatEndsByItselfStopsItAndFinishingAllStopsAll) {
    record();
    screen.deliverFrame(systemClock().now());
    ASSERT_TRUE(processEventsUntil([&] { return state.elapsedText() == "0:01"; }, 3s));
    screen.stopWithError(std::make_exception_ptr(RecorderError::windowGone()));
    ASSERT_TRUE(processEventsUntil([&] { return state.phase() == Phase::idle; }, 3s));
    const std::string shown = state.elapsedText();
    ASSERT_TRUE(settled());
    EXPECT_EQ(state.lastErrorMessage(), "The selected window is no longer on screen.");
    EXPECT_EQ(state.elapsedText(), shown);  // kept until the next recording
    EXPECT_NE(shown, "0:00");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].second, "The selected window is no longer on screen.");

    // Finishing all stops the next recording without opening the editor; its
    // movie is finished all the same.
    record();
    screen.deliverFrame(systemClock().now());
    QCoro::waitFor(state.finishAll());
    EXPECT_EQ(state.phase(), Phase::idle);
    EXPECT_FALSE(state.isBusy());
    EXPECT_EQ(opened.size(), 1u);
    for (const auto& made : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_TRUE(std::filesystem::exists(made.path() / "screen.mov")) << made.path();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
    // No new recording starts any more.
    state.toggleRecording();
    EXPECT_EQ(state.phase(), Phase::idle);
}

}  // namespace
}  // namespace zarvex
