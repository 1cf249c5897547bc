// Recording sessions on fake capture services: folder names, project and
// click files, and the orders of stop and abort.

#include "capture/recording_session.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include "capture/errors.h"
#include "capture/recording_folder.h"
#include "fake_audio_capture.h"
#include "fake_input_monitor.h"
#include "model/file_io.h"
#include "model/project.h"
#include "recording_fakes.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using namespace std::chrono;
using testing::afterT0;
using testing::kDisplay;
using testing::kT0;

// A webcam whose outcomes the test scripts; it notes each call in `log`.
class ScriptedWebcam : public WebcamWriting {
  public:
    explicit ScriptedWebcam(std::vector<std::string>& log) : log_(log) {}

    std::optional<std::string> startFailure;
    std::optional<std::string> stopFailure;
    std::filesystem::path file;
    HostTime sessionStart{};
    std::filesystem::path watchedEvents;  // noted at stopWriting: did it exist then?

    void startWriting(const std::filesystem::path& path, HostTime start) override {
        if (startFailure) {
            throw RecorderError::writerFailed(*startFailure);
        }
        file = path;
        sessionStart = start;
    }
    void stopWriting() override {
        log_.push_back(std::filesystem::exists(watchedEvents) ? "webcam file after events.json"
                                                              : "webcam file");
        if (stopFailure) {
            throw RecorderError::writerFailed(*stopFailure);
        }
    }
    void stop() override { log_.push_back("camera"); }
    bool writerFailed() const override { return failed; }
    bool failed = false;

  private:
    std::vector<std::string>& log_;
};

system_clock::time_point march7At160509Utc() {
    return sys_days{2025y / March / 7} + 16h + 5min + 9s;
}

// Sets ICU's default locale and time zone for a test; restores them after.
class IcuDefaults {
  public:
    IcuDefaults(const char* locale, const char* zone)
        : locale_(icu::Locale::getDefault()), zone_(icu::TimeZone::createDefault()) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(locale), status);
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(zone));
    }
    ~IcuDefaults() {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale_, status);
        icu::TimeZone::adoptDefault(zone_);
    }

  private:
    icu::Locale locale_;
    icu::TimeZone* zone_;
};

TEST(RecordingFolder, NameFollowsThePatternInTheUsersLocaleAndZone) {
    for (const auto& [locale, zone, name] :
         {std::tuple{"en_US", "UTC", "Zarvex 2025-03-07 at 4.05.09 PM"},
          std::tuple{"ja_JP", "America/New_York", "Zarvex 2025-03-07 at 11.05.09 午前"}}) {
        IcuDefaults defaults(locale, zone);
        EXPECT_EQ(recordingFolderName(march7At160509Utc()), name);
    }
}

TEST(RecordingFolder, TakenNamesGetTheNextNumber) {
    testing::TempDir dir;
    const auto root = dir / "Recordings" / "nested";
    EXPECT_EQ(freeRecordingFolder(root, "Zarvex A"), root / "Zarvex A");
    EXPECT_EQ(createRecordingFolder(root, "Zarvex A"), root / "Zarvex A");
    testing::writeText(root / "Zarvex A 2", "a file takes the name too");
    EXPECT_EQ(freeRecordingFolder(root, "Zarvex A"), root / "Zarvex A 3");
    EXPECT_EQ(createRecordingFolder(root, "Zarvex A"), root / "Zarvex A 3");
    EXPECT_EQ(createRecordingFolder(root, "Zarvex A"), root / "Zarvex A 4");
    EXPECT_TRUE(std::filesystem::is_directory(root / "Zarvex A 4"));
    EXPECT_THROW(createRecordingFolder(root / "Zarvex A 2", "Zarvex B"), FileError);
}

class RecordingSessionTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    MemoryKeyValueStore store;
    Preferences preferences{store};
    std::vector<std::string> log;
    testing::FakeShareableContent content = testing::oneDisplayDesktop();
    testing::FakeScreenCapture capture;
    testing::FakeInputMonitor monitor;
    testing::ManualClock clock;
    ScriptedWebcam webcam{log};
    CaptureServices services{&content, &capture, &monitor, {}, &clock, 1};

    RecordingSessionTest() {
        preferences.setRecordingsFolder((dir / "Recordings").string());
        capture.stopLog = &log;
    }

    std::unique_ptr<RecordingSession> session(SelectionResult options = {DisplayTarget{kDisplay}},
                                              system_clock::time_point now = system_clock::now()) {
        return std::make_unique<RecordingSession>(services, webcam, options, preferences, now);
    }

    // Starts, delivers one frame at T0 and stops at T0 + 1 s; returns what
    // stop() threw ("" when nothing).
    std::string record(RecordingSession& recording) {
        recording.start();
        webcam.watchedEvents = recording.bundleURL() / kEventsFileName;
        capture.deliverFrame(kT0);
        clock.time = afterT0(1);
        return testing::thrownText([&] { EXPECT_EQ(recording.stop(), recording.bundleURL()); });
    }
};

TEST_F(RecordingSessionTest, ProjectFileIsWrittenAtStartAndClicksAtStop) {
    const SelectionResult options{RegionTarget{kDisplay, Rect{10, 20, 100, 50}}, true, false, false,
                                  true};
    auto recording = session(options);
    const auto before = floor<seconds>(system_clock::now());
    recording->start();
    const auto after = system_clock::now();
    const auto folder = recording->bundleURL();
    EXPECT_EQ(folder.parent_path(), dir / "Recordings");
    EXPECT_EQ(folder.filename().string().rfind("Zarvex ", 0), 0u);
    EXPECT_EQ(recording->sessionStart(), kT0);

    ProjectMeta meta = readProjectFile(folder);
    EXPECT_GE(meta.createdAt, before);
    EXPECT_LE(meta.createdAt, after);
    ProjectMeta expected;
    expected.createdAt = meta.createdAt;
    expected.micIncluded = true;
    expected.eventsFile = "events.json";
    EXPECT_EQ(meta, expected);
    EXPECT_FALSE(std::filesystem::exists(folder / "events.json"));

    capture.deliverFrame(kT0);
    EXPECT_TRUE(monitor.press(MouseEventType::leftMouseDown, toSeconds(afterT0(1.25)), {60, 45}));
    clock.time = afterT0(2);
    EXPECT_EQ(recording->stop(), folder);
    EXPECT_EQ(readEventsFile(folder / "events.json"),
              (RecordedEvents{1, {RecordedClick{1.25, 0.5, 0.5}}}));
    EXPECT_TRUE(std::filesystem::exists(folder / "screen.mov"));
    EXPECT_EQ(log, std::vector<std::string>{"screen"}) << "the camera was not asked for";

    // Without a click monitor the file is there all the same, without clicks.
    services.inputMonitor = nullptr;
    auto unmonitored = session();
    unmonitored->start();
    capture.deliverFrame(clock.time);
    clock.time = afterT0(3);
    unmonitored->stop();
    EXPECT_EQ(readEventsFile(unmonitored->bundleURL() / "events.json"), RecordedEvents{});
}

TEST_F(RecordingSessionTest, CameraSwitchWritesTheWebcamFileOnT0AndStopsItBeforeTheScreen) {
    auto recording = session({DisplayTarget{kDisplay}, false, false, true, true});
    EXPECT_EQ(record(*recording), "");
    EXPECT_EQ(webcam.file, recording->bundleURL() / "webcam.mov");
    EXPECT_EQ(webcam.sessionStart, kT0);
    EXPECT_EQ(readProjectFile(recording->bundleURL()).webcamFile, "webcam.mov");
    EXPECT_EQ(log, (std::vector<std::string>{"webcam file after events.json", "camera", "screen"}));
}

TEST_F(RecordingSessionTest, WebcamFailureIsReportedAfterTheScreenMovieIsFinished) {
    webcam.stopFailure = "Webcam file failed to save.";
    auto recording = session({DisplayTarget{kDisplay}, false, false, true, true});
    EXPECT_EQ(record(*recording), "Recording failed: Webcam file failed to save.");
    EXPECT_EQ(readMovieInfo(recording->bundleURL() / "screen.mov").tracks.size(), 1u);
    EXPECT_EQ(log.back(), "screen");

    // A failing screen movie is what the user is told about.
    auto silent = session({DisplayTarget{kDisplay}, false, false, true, true});
    silent->start();
    EXPECT_EQ(testing::thrown<RecorderError>([&] { silent->stop(); }).value().payload(),
              "No frames were captured.");
}

TEST_F(RecordingSessionTest, FailedStartsLeaveTheFolderAndAbortStopsEverything) {
    webcam.startFailure = "Camera is not running.";
    auto recording = session({DisplayTarget{kDisplay}, true, true, true, true});
    EXPECT_THROW(recording->start(), RecorderError);
    EXPECT_TRUE(std::filesystem::is_directory(recording->bundleURL()));
    EXPECT_FALSE(std::filesystem::exists(recording->bundleURL() / "project.json"));
    recording->abort();
    EXPECT_EQ(log, (std::vector<std::string>{"webcam file", "camera", "screen"}));
    EXPECT_FALSE(std::filesystem::exists(recording->bundleURL() / "screen.mov"));

    // The camera is stopped whether or not it was asked for.
    log.clear();
    auto noDisplay = session({DisplayTarget{kDisplay + 1}});
    EXPECT_THROW(noDisplay->start(), RecorderError);
    noDisplay->abort();
    EXPECT_EQ(log, (std::vector<std::string>{"webcam file", "camera"}));

    preferences.setRecordingsFolder((dir / "Recordings" / "file").string());
    testing::writeText(dir / "Recordings" / "file", "not a folder");
    auto unwritable = session();
    EXPECT_THROW(unwritable->start(), FileError);
    unwritable->abort();
}

TEST_F(RecordingSessionTest, RecordingsStartedInTheSameSecondKeepTheirOwnFolders) {
    const auto now = system_clock::now();
    auto first = session({DisplayTarget{kDisplay}}, now);
    preferences.setZoomOnClicks(true);  // "Zoom in on clicks": the second starts with auto zoom
    auto second = session({DisplayTarget{kDisplay}}, now);
    EXPECT_EQ(first->bundleURL(), second->bundleURL()) << "neither folder exists yet";
    first->start();
    capture.deliverFrame(kT0, 0xff00ff00);
    second->start();  // while the first is still recording
    capture.deliverFrame(kT0, 0xff0000ff);
    EXPECT_EQ(second->bundleURL().string(), first->bundleURL().string() + " 2");
    clock.time = afterT0(1);
    first->stop();
    second->stop();
    EXPECT_EQ(testing::colourAt(first->bundleURL() / "screen.mov", 0.5), 0x00ff00u);
    EXPECT_EQ(testing::colourAt(second->bundleURL() / "screen.mov", 0.5), 0x0000ffu);
    EXPECT_TRUE(isRecordingFolder(first->bundleURL()) && isRecordingFolder(second->bundleURL()));
    EXPECT_EQ(readProjectFile(first->bundleURL()).zoom, std::nullopt);
    EXPECT_EQ(readProjectFile(second->bundleURL()).zoom, (ZoomSettings{true, std::nullopt}));
}

// A session prepared for a countdown that is then cancelled lets go of its
// sources and leaves no movie and no folder, unless someone else put
// something in it; so does one dropped without a cancel.
TEST_F(RecordingSessionTest, CancelledPreparationLeavesNothingBehind) {
    testing::FakeAudioSources sources;
    services.makeAudioCapture = sources.factory();
    auto recording = session({DisplayTarget{kDisplay}, true, true, false, true});
    recording->prepare();
    const auto folder = recording->bundleURL();
    auto& mic = sources[AudioSource::microphone];
    auto& system = sources[AudioSource::systemAudio];
    EXPECT_TRUE(mic.isRunning() && system.isRunning() && capture.running());
    EXPECT_TRUE(std::filesystem::exists(folder / kScreenFileName));
    recording->cancel();
    EXPECT_FALSE(mic.isRunning() || system.isRunning() || capture.running());
    EXPECT_FALSE(std::filesystem::exists(folder));

    auto dropped = session();
    dropped->prepare();
    const auto kept = dropped->bundleURL();
    testing::writeText(kept / "notes.txt", "not the session's");
    dropped.reset();
    EXPECT_FALSE(capture.running());
    EXPECT_FALSE(std::filesystem::exists(kept / kScreenFileName));
    EXPECT_TRUE(std::filesystem::exists(kept / "notes.txt"));
}

// A failing webcam file stops the recording like a failing screen movie, and a
// session that goes away unstopped finishes its files as a stop would.
TEST_F(RecordingSessionTest, WebcamFailureShowsAndAnUnstoppedSessionFinishesItsFiles) {
    auto recording = session({DisplayTarget{kDisplay}, false, false, true, true});
    recording->start();
    capture.deliverFrame(kT0);
    EXPECT_FALSE(recording->captureFailed());
    webcam.failed = true;
    EXPECT_TRUE(recording->captureFailed());

    const auto folder = recording->bundleURL();
    clock.time = afterT0(1);
    recording.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"webcam file", "camera", "screen"}));
    EXPECT_TRUE(std::filesystem::exists(folder / "events.json"));
    EXPECT_NEAR(readMovieInfo(folder / "screen.mov").duration.seconds(), 1.0, 0.02);
}

}  // namespace
}  // namespace zarvex
