#include "capture/recording_session.h"

#include "capture/recording_folder.h"
#include "capture/recordings_directory.h"
#include "model/project.h"

namespace zarvex {

RecordingSession::RecordingSession(const CaptureServices& services, WebcamWriting& camera,
                                   SelectionResult options, const Preferences& preferences,
                                   std::chrono::system_clock::time_point now)
    : services_(services),
      camera_(camera),
      options_(std::move(options)),
      directory_(ensureRecordingsDirectory(preferences)),
      name_(recordingFolderName(now)),
      bundleURL_(freeRecordingFolder(directory_, name_)),
      zoomOnClicks_(preferences.zoomOnClicks()),
      screenRecorder_(std::make_unique<ScreenRecorder>(services)) {}

RecordingSession::~RecordingSession() {
    // Quitting never throws a recording away: one still running is finished
    // as stop() would, without anyone to tell the result.
    if (started_ && !ended_) {
        try {
            stop();
        } catch (...) {
        }
    }
}

void RecordingSession::start() {
    bundleURL_ = createRecordingFolder(directory_, name_);
    createdFolder_ = true;
    started_ = true;

    // What takes time (the writer, connecting the audio sources, the screen
    // stream) happens before T0 is read, so every track starts at T0.
    screenRecorder_->prepare(options_.target, bundleURL_ / kScreenFileName, options_.micEnabled,
                             options_.systemAudioEnabled, options_.cursorEnabled);
    sessionStart_ = services_.clock->now();
    screenRecorder_->start(options_.target, bundleURL_ / kScreenFileName, options_.micEnabled,
                           options_.systemAudioEnabled, options_.cursorEnabled, sessionStart_);
    if (options_.cameraEnabled) {
        camera_.startWriting(bundleURL_ / kWebcamFileName, sessionStart_);
    }
    if (services_.inputMonitor != nullptr) {
        const Rect area = MouseEventRecorder::captureRect(options_.target, *services_.content);
        mouseRecorder_ = std::make_unique<MouseEventRecorder>(*services_.inputMonitor,
                                                              toSeconds(sessionStart_), area);
        try {
            mouseRecorder_->start();
        } catch (const ScreenCaptureError&) {
            // Clicks are extras: without a monitor the recording goes on and
            // events.json holds no clicks.
        }
    }
    writeProject();
}

void RecordingSession::writeProject() const {
    ProjectMeta meta;
    meta.version = 1;
    meta.createdAt = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    meta.screenFile = kScreenFileName;
    if (options_.cameraEnabled) {
        meta.webcamFile = std::string(kWebcamFileName);
    }
    meta.micIncluded = options_.micEnabled;
    meta.systemAudioIncluded = options_.systemAudioEnabled;
    meta.eventsFile = std::string(kEventsFileName);
    if (zoomOnClicks_) {
        meta.zoom = ZoomSettings{true, std::nullopt};
    }
    writeProjectFile(bundleURL_, meta);
}

std::filesystem::path RecordingSession::stop() {
    ended_ = true;
    if (mouseRecorder_) {
        const RecordedEvents events = mouseRecorder_->stop();
        try {
            writeEventsFile(bundleURL_, events);
        } catch (const std::exception&) {
            // Best effort: without the file the recording simply has no clicks.
        }
        mouseRecorder_.reset();
    }
    std::exception_ptr webcamError;
    if (options_.cameraEnabled) {
        try {
            camera_.stopWriting();
        } catch (const std::exception&) {
            webcamError = std::current_exception();
        }
        camera_.stop();
    }
    screenRecorder_->stop();
    if (webcamError) {
        std::rethrow_exception(webcamError);
    }
    return bundleURL_;
}

void RecordingSession::abort() noexcept {
    ended_ = true;
    if (mouseRecorder_) {
        mouseRecorder_->stop();
        mouseRecorder_.reset();
    }
    // Every step runs even when the one before it failed; their errors are
    // not what the user is told (the failed start is).
    try {
        camera_.stopWriting();
    } catch (...) {
    }
    try {
        camera_.stop();
    } catch (...) {
    }
    try {
        screenRecorder_->stop();
    } catch (...) {
    }
}

bool RecordingSession::captureFailed() const {
    return screenRecorder_->captureFailed() || (options_.cameraEnabled && camera_.writerFailed());
}

}  // namespace zarvex
