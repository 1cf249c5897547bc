#include "capture/recording_session.h"

#include "capture/recording_folder.h"
#include "capture/recordings_directory.h"
#include "model/project.h"

namespace zarvex {

RecordingSession::RecordingSession(const CaptureServices& services, WebcamWriting& camera,
                                   SelectionResult options, const Preferences& preferences,
                                   std::chrono::system_clock::time_point startsAt)
    : services_(services),
      camera_(camera),
      options_(std::move(options)),
      directory_(ensureRecordingsDirectory(preferences)),
      name_(recordingFolderName(startsAt)),
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
    } else if (prepared_ && !started_) {
        cancel();
    }
}

void RecordingSession::prepare() {
    if (prepared_) {
        return;
    }
    prepared_ = true;
    bundleURL_ = createRecordingFolder(directory_, name_);
    createdFolder_ = true;
    screenRecorder_->prepare(options_.target, bundleURL_ / kScreenFileName, options_.micEnabled,
                             options_.systemAudioEnabled, options_.cursorEnabled);
}

void RecordingSession::start() {
    started_ = true;
    prepare();
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

void RecordingSession::cancel() noexcept {
    if (started_ || ended_) {
        return;
    }
    ended_ = true;
    screenRecorder_->cancel();
    if (createdFolder_) {
        // Only an empty folder goes: whatever someone put there stays.
        std::error_code ignored;
        std::filesystem::remove(bundleURL_, ignored);
    }
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
    // Without a click monitor (a Wayland desktop gives no global pointer
    // events) the file is written all the same, holding no clicks.
    RecordedEvents events;
    if (mouseRecorder_) {
        events = mouseRecorder_->stop();
        mouseRecorder_.reset();
    }
    try {
        writeEventsFile(bundleURL_, events);
    } catch (const std::exception&) {
        // Best effort: without the file the recording simply has no clicks.
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
