// The camera manager's preview state and webcam file on the fake camera.

#include "capture/camera_manager.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "capture/errors.h"
#include "fake_camera.h"
#include "fake_permissions.h"
#include "recording_fakes.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::afterT0;
using testing::FakeCamera;
using testing::kT0;

// A camera that reports no capture size, as one with an unknown mode might.
class SizelessCamera : public FakeCamera {
  public:
    int frameWidth() const override { return 0; }
    int frameHeight() const override { return 0; }
};

class CameraManagerTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    std::filesystem::path file = dir / "webcam.mov";
    testing::FakePermissionAuthority permissions;
    testing::CountingPreview::Counts preview;
    int camerasMade = 0;
    FakeCamera* camera = nullptr;  // the camera made last
    std::function<std::unique_ptr<FakeCamera>()> makeCamera = [] {
        return std::make_unique<FakeCamera>(320, 240);
    };
    // Frames `from` to `to` (exclusive) at 30 per second from T0, `pauseMs`
    // apart as a camera paces them, in greys far enough apart to cost bytes.
    void deliver(int from, int to, int pauseMs = 3) {
        for (int i = from; i < to; ++i) {
            camera->deliverFrame(afterT0(i / 30.0), std::uint8_t(i * 7));
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }

    std::unique_ptr<CameraCapture> made() {
        ++camerasMade;
        auto made = makeCamera();
        camera = made.get();
        return made;
    }

    CameraManager manager{[this] { return made(); }, permissions,
                          [this] { return std::make_unique<testing::CountingPreview>(preview); }};
};

TEST_F(CameraManagerTest, FailedStartsKeepNoCameraSoTheNextStartTriesAgain) {
    permissions.videoStatus = AuthorizationStatus::denied;
    EXPECT_EQ(testing::thrownText([&] { manager.startPreview(); }),
              PermissionError(PermissionError::Kind::cameraDenied).what());
    EXPECT_EQ(camerasMade, 0);
    permissions.videoStatus = AuthorizationStatus::authorized;

    makeCamera = [] { return nullptr; };
    EXPECT_EQ(testing::thrownText([&] { manager.startPreview(); }),
              "Recording failed: No camera available.");
    makeCamera = [] {
        auto refusing = std::make_unique<FakeCamera>();
        refusing->startFailure = kCameraNotConfiguredMessage;
        return refusing;
    };
    EXPECT_EQ(testing::thrownText([&] { manager.startPreview(); }),
              "Recording failed: Camera output could not be configured.");
    EXPECT_EQ(preview.shown, 0);

    makeCamera = [] { return std::make_unique<FakeCamera>(320, 240); };
    manager.startPreview();
    EXPECT_EQ((std::tuple<int, bool, int>(camerasMade, manager.isRunning(), preview.shown)),
              (std::tuple(3, true, 1)));
}

TEST_F(CameraManagerTest, PreviewStartsReuseTheCameraAndStopKeepsItWhileWriting) {
    manager.startPreview();
    manager.startPreview();
    // One camera started once, one preview built and shown twice.
    EXPECT_EQ(
        (std::tuple<int, int, int, int>(camerasMade, camera->starts, preview.built, preview.shown)),
        (std::tuple(1, 1, 1, 2)));
    camera->deliverFrame(afterT0(-1));
    EXPECT_EQ(preview.frames, 1);

    manager.stop();
    EXPECT_EQ(preview.hidden, 1);
    EXPECT_FALSE(manager.isRunning());
    EXPECT_EQ(testing::thrownText([&] { manager.startWriting(file, kT0); }),
              "Recording failed: Camera is not running.");

    manager.startPreview();
    EXPECT_EQ(camerasMade, 1);
    EXPECT_EQ(camera->starts, 2);
    manager.startWriting(file, kT0);
    manager.stop();  // hides the preview only: the file still needs frames
    EXPECT_EQ(preview.hidden, 2);
    EXPECT_TRUE(manager.isRunning());
    EXPECT_TRUE(manager.isWriting());
    camera->deliverFrame(afterT0(0.1));
    manager.stopWriting();
    manager.stop();
    EXPECT_FALSE(manager.isRunning());
}

TEST_F(CameraManagerTest, WebcamFileHoldsOnlyFramesFromT0AtTheCaptureSize) {
    manager.startPreview();
    camera->deliverFrame(afterT0(-0.5), 30);  // preview time: never in the file
    manager.startWriting(file, kT0);
    EXPECT_TRUE(std::filesystem::exists(file));
    camera->deliverFrame(afterT0(-0.01), 30);  // stamped before T0
    for (int i = 0; i < 30; ++i) {
        camera->deliverFrame(afterT0(0.25 + i / 30.0), 220);
    }
    manager.stopWriting();
    EXPECT_FALSE(manager.isWriting());
    manager.stopWriting();  // nothing left to finish

    const TrackInfo track = testing::onlyH264Track(file, 320, 240);
    EXPECT_NEAR(track.contentRange.start.seconds(), 0.25, 0.002);
    VideoDecoder decoder(file, track.index);
    EXPECT_FALSE(decoder.frameAt(MediaTime::fromSeconds(0.2)));
    const auto first = decoder.frameAt(MediaTime::fromSeconds(0.25));
    ASSERT_TRUE(first);
    EXPECT_GT(first->image.row(0, 120)[160], 200);
}

TEST_F(CameraManagerTest, CameraWithoutACaptureSizeIsWrittenAt720p) {
    makeCamera = [] { return std::make_unique<SizelessCamera>(); };
    manager.startPreview();
    manager.startWriting(file, kT0);
    camera->deliverFrame(afterT0(0.1));
    manager.stopWriting();
    testing::onlyH264Track(file, 1280, 720);
}

TEST_F(CameraManagerTest, WriterThatCannotStartLeavesNothingBeingWritten) {
    manager.startPreview();
    const std::string message =
        testing::thrownText([&] { manager.startWriting(dir / "missing" / "webcam.mov", kT0); });
    EXPECT_EQ(message.rfind("Recording failed: ", 0), 0u) << message;
    EXPECT_NE(message.find("webcam.mov"), std::string::npos) << message;
    EXPECT_FALSE(manager.isWriting());
    EXPECT_NO_THROW(manager.stopWriting());
}

// The webcam file follows the screen movie's rules: written in fragments as
// it goes (a copy taken mid-way, as a crash would leave it, plays), and
// finished, not thrown away, when the manager goes while writing.
TEST_F(CameraManagerTest, WebcamFileIsWrittenAsItGoesAndFinishedWhenTheManagerGoes) {
    auto local = std::make_unique<CameraManager>([this] { return made(); }, permissions);
    local->startPreview();
    local->startWriting(file, kT0);
    deliver(0, 45);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::filesystem::copy_file(file, dir / "crashed.mov");
    EXPECT_GE(readMovieInfo(dir / "crashed.mov").tracks.at(0).contentRange.end.seconds(), 0.9);

    // Faster than the encoder takes them (as on a busy machine): pictures in
    // between may be dropped, the last one still ends the file.
    deliver(45, 60, 0);
    local.reset();
    EXPECT_NEAR(testing::frameTimes(file).back(), 59 / 30.0, 0.002);
}

// A webcam writer that fails (here: a file-size limit, as a full disk would)
// shows at once, and stopping reports its error and keeps what was written.
TEST_F(CameraManagerTest, WebcamWriterFailureIsNoticedAndKeepsWhatWasWritten) {
    manager.startPreview();
    manager.startWriting(file, kT0);
    deliver(0, 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto ignoring = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = std::filesystem::file_size(file) + 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    for (int frame = 30; !manager.writerFailed() && frame < 300; frame += 3) {
        deliver(frame, frame + 3);
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, ignoring);

    EXPECT_TRUE(manager.writerFailed());
    EXPECT_EQ(testing::thrownText([&] { manager.stopWriting(); }),
              "Recording failed: Could not write webcam.mov: File too large");
    EXPECT_GE(readMovieInfo(file).tracks.at(0).contentRange.end.seconds(), 0.5);
}

}  // namespace
}  // namespace zarvex
