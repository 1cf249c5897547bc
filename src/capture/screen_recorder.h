#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "capture/capture_services.h"
#include "capture/records.h"
#include "capture/track_feeds.h"
#include "media/movie_writer.h"

namespace zarvex {

// Records one target (display, window or region) with the microphone and
// the system audio into a QuickTime movie: an H.264 track, then an AAC track
// per requested source (microphone first). The movie's time 0 is the host
// time T0 handed to start(); every sample stamped before it is left out.
//
// The movie is written in fragments as it goes, so whatever ends the process
// leaves a playable movie of all but the last moment: an audio track whose
// source delivers nothing is filled with silence (the fragments would wait
// for it otherwise), and a still screen has its last picture repeated (see
// VideoTrackFeed). A failing writer is noticed within a fraction of a second
// (captureFailed()); destroying a recorder that was not stopped finishes its
// movie like stop().
//
// Threads: prepare(), start() and stop() block and belong to one controlling
// thread (not a UI thread). Screen frames are appended on the stream's capture
// thread, microphone and system-audio chunks on their own capture threads, and
// a housekeeping thread ("screen-keeper") appends waiting and repeated
// pictures and silence; every track is fed under its feed's lock. A recorder is
// started and stopped once.
class ScreenRecorder final : private ScreenStreamOutput {
  public:
    explicit ScreenRecorder(const CaptureServices& services);
    ~ScreenRecorder() override;
    ScreenRecorder(const ScreenRecorder&) = delete;
    ScreenRecorder& operator=(const ScreenRecorder&) = delete;

    // Everything that takes time before the first sample, done ahead of the
    // recording's T0 (while a countdown runs, say) so that T0 is the moment
    // recording really begins: reads the content, sets up the writer,
    // connects the audio sources and starts the screen stream. It does not
    // wait for the first audio: a server may hold it back for a second or
    // two, and what a source delivers after T0 goes in at its own time, with
    // silence before it. Throws as start() does.
    void prepare(const CaptureTarget& target, const std::filesystem::path& outputFile,
                 bool microphone, bool systemAudio, bool cursorShown);

    // Starts recording at T0 = `sessionStart`. Prepares first, with these
    // arguments, unless prepare() was called (then they must be the same).
    // Throws RecorderError::noDisplay() / windowGone() for a target that is
    // not on the screen, RecorderError::writerFailed when the movie cannot be
    // started, and the capture services' own errors (ScreenCaptureError). A
    // start that fails part-way keeps what it built; stop() releases it.
    void start(const CaptureTarget& target, const std::filesystem::path& outputFile,
               bool microphone, bool systemAudio, bool cursorShown, HostTime sessionStart);

    // Lets go of a recorder that was prepared and will not be started: stops
    // the stream and the audio sources and removes the movie. Never throws.
    void cancel() noexcept;

    // Waits until every connected audio source has delivered, or `limit`
    // has passed; false then. A recording never needs to, but audio that
    // plays from before T0 is in the tracks from their first moment only
    // when its source was delivering by then.
    bool waitForAudio(std::chrono::milliseconds limit);

    // Ends capture and finishes the movie; returns its location. The latest
    // picture delivered is in it, and the last picture is held until the
    // moment of stop, so the movie lasts as long as the recording even when
    // the screen stood still at the end.
    //
    // Throws RecorderError::writerFailed("Writer was never started.") without
    // a started writer and ("No frames were captured.") when no picture was
    // written (the movie is removed). When the stream stopped by itself with
    // an error, the movie is finished with what was captured (or removed when
    // that is nothing) and that error is thrown. A writer that fails throws
    // writerFailed with its own message; the movie keeps what it had written.
    std::filesystem::path stop();

    // After stop(): the movie was finished with pictures in it, also when
    // stop() then threw (capture ended by itself, the writer failed part-way
    // and kept its whole fragments).
    bool keptMovie() const { return keptMovie_; }

    // True once capture cannot go on: the screen stream stopped by itself
    // with an error, or the writer failed (a full disk). Any thread.
    bool captureFailed() const;

  private:
    void didOutputFrame(const ScreenFrame& frame) override;
    void didStopWithError(std::exception_ptr error) override;

    void setUpWriter(int width, int height, bool microphone, bool systemAudio);
    void connectAudio(AudioSource source, AudioTrackFeed& feed);
    void keep();
    void stopKeeper();
    void releaseCapture();
    std::exception_ptr streamError() const;
    bool writerFailed() const;

    CaptureServices services_;
    std::unique_ptr<MovieWriter> writer_;
    std::unique_ptr<VideoTrackFeed> video_;
    std::unique_ptr<AudioTrackFeed> microphone_;
    std::unique_ptr<AudioTrackFeed> systemAudio_;
    std::unique_ptr<ScreenStream> stream_;
    std::optional<std::filesystem::path> outputURL_;
    bool prepared_ = false;
    bool started_ = false;
    bool stopped_ = false;
    bool keptMovie_ = false;

    std::thread keeper_;
    std::mutex keeperMutex_;
    std::condition_variable keeperWake_;
    bool keeperStopping_ = false;

    mutable std::mutex streamErrorMutex_;
    std::exception_ptr streamError_;
};

}  // namespace zarvex
