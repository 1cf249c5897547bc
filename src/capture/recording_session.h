#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "capture/camera_manager.h"
#include "capture/capture_services.h"
#include "capture/mouse_event_recorder.h"
#include "capture/records.h"
#include "capture/screen_recorder.h"
#include "model/preferences.h"

namespace zarvex {

// One recording in progress: its folder, the screen recorder, the webcam
// file and the click recorder, all on one time origin T0.
//
// Threads: prepare(), start(), stop(), abort() and cancel() block and are
// called one at a time from one controlling thread (not a UI thread). A
// session is prepared (or not), started once, then either stopped (after a
// successful start) or aborted (after a failed one); a prepared session that
// is not to record after all is cancelled instead of started.
class RecordingSession {
  public:
    // Names the folder "Zarvex <date and time of `startsAt`>" inside the
    // recordings folder of `preferences` (which is created here, errors
    // ignored): the moment recording is expected to begin, after a countdown.
    // Never fails. `camera` must outlive the session.
    RecordingSession(
        const CaptureServices& services, WebcamWriting& camera, SelectionResult options,
        const Preferences& preferences,
        std::chrono::system_clock::time_point startsAt = std::chrono::system_clock::now());
    // A session that was started and neither stopped nor aborted is stopped
    // here (its errors are dropped): its files are finished, never thrown away.
    // One that was only prepared is cancelled.
    ~RecordingSession();
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // What takes time before T0: creates the folder and prepares the screen
    // recorder (writer, audio sources, screen stream). Throws as start() does.
    //
    // A folder of the same name that exists already (another recording
    // started in the same second) is left alone: this one takes the next of
    // "<name> 2", "<name> 3", …, and bundleURL() says which.
    void prepare();

    // After prepare(): ScreenRecorder::waitForAudio().
    bool waitForAudio(std::chrono::milliseconds limit) {
        return screenRecorder_->waitForAudio(limit);
    }

    // Prepares unless prepare() was called, reads T0, starts the screen
    // recorder, the webcam file (with the camera switch) and the click
    // recorder, and writes project.json. Throws the first failure (FileError,
    // RecorderError, ScreenCaptureError, EncodeError), also a failure of
    // prepare(); what was written stays on disk.
    void start();

    // Writes events.json (best effort), finishes the webcam file and the
    // screen movie, and returns the folder. Throws the screen recorder's
    // error, else the webcam's; the screen movie is finished either way, and
    // keptRecording() then says whether it holds a recording.
    std::filesystem::path stop();

    // The clean-up after a failed start(): stops whatever was started and
    // lets go of it. Never throws.
    void abort() noexcept;

    // Releases a session that was prepared but will not record: stops the
    // audio sources and the screen stream, removes the movie, and removes the
    // folder when this session created it and nothing else is in it. Never
    // throws.
    void cancel() noexcept;

    const std::filesystem::path& bundleURL() const { return bundleURL_; }
    // True once start() has created the folder (it is then this session's).
    bool createdFolder() const { return createdFolder_; }
    const SelectionResult& options() const { return options_; }
    // After stop(): the screen movie was finished with pictures in it, so the
    // folder holds a recording the editor can open, also when stop() threw
    // (capture ended by itself, the disk filled, the webcam file failed).
    bool keptRecording() const { return screenRecorder_->keptMovie(); }
    // T0; zero before start().
    HostTime sessionStart() const { return sessionStart_; }
    // True once the recording cannot go on: screen capture ended by itself
    // with an error, or the screen movie's or the webcam file's writer failed
    // (a full disk). Noticed within a fraction of a second; stop() then
    // finishes what was written and reports the error. Any thread.
    bool captureFailed() const;

  private:
    void writeProject() const;

    CaptureServices services_;
    WebcamWriting& camera_;
    SelectionResult options_;
    std::filesystem::path directory_;
    std::string name_;
    std::filesystem::path bundleURL_;
    bool zoomOnClicks_ = false;  // the project starts with automatic zoom
    std::unique_ptr<ScreenRecorder> screenRecorder_;
    std::unique_ptr<MouseEventRecorder> mouseRecorder_;
    HostTime sessionStart_{};
    bool createdFolder_ = false;
    bool prepared_ = false;
    bool started_ = false;
    bool ended_ = false;
};

}  // namespace zarvex
