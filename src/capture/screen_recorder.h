#pragma once

#include <atomic>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "capture/capture_services.h"
#include "capture/records.h"
#include "media/movie_writer.h"

namespace zarvex {

// Records one target (display, window or region) with the microphone and
// the system audio into a QuickTime movie: an H.264 track, then an AAC track
// per requested source (microphone first). The movie's time 0 is the host
// time T0 handed to start(); every sample stamped before it is left out.
//
// Threads: start() and stop() block and belong to one controlling thread
// (not a UI thread). Screen frames are appended on the stream's capture
// thread, microphone and system-audio chunks on their own capture threads:
// each track is fed by one thread at a time (stop() appends the held last
// picture only once capture has ended). A recorder is started and stopped
// once; destroying a recorder that was not stopped throws its movie away.
class ScreenRecorder final : private ScreenStreamOutput {
  public:
    explicit ScreenRecorder(const CaptureServices& services);
    ~ScreenRecorder() override;
    ScreenRecorder(const ScreenRecorder&) = delete;
    ScreenRecorder& operator=(const ScreenRecorder&) = delete;

    // Starts the writer, the microphone and the screen stream. Throws
    // RecorderError::noDisplay() / windowGone() for a target that is not on
    // the screen, RecorderError::writerFailed when the movie cannot be
    // started, and the capture services' own errors (ScreenCaptureError).
    // A start that fails part-way keeps what it built; stop() releases it.
    void start(const CaptureTarget& target, const std::filesystem::path& outputFile,
               bool microphone, bool systemAudio, bool cursorShown, HostTime sessionStart);

    // Ends capture and finishes the movie; returns its location. The last
    // picture is held until the moment of stop, so the movie lasts as long as
    // the recording even when the screen stood still at the end.
    //
    // Throws RecorderError::writerFailed("Writer was never started.") without
    // a started writer and ("No frames were captured.") when no picture was
    // written (the movie is removed). When the stream stopped by itself with
    // an error, the movie is finished with what was captured (or removed when
    // that is nothing) and that error is thrown. A writer that fails throws
    // writerFailed with its own message.
    std::filesystem::path stop();

    // True once the screen stream has stopped by itself with an error;
    // nothing more is captured then. Any thread.
    bool captureFailed() const;

  private:
    void didOutputFrame(const ScreenFrame& frame) override;
    void didStopWithError(std::exception_ptr error) override;

    void setUpWriter(int width, int height, bool microphone, bool systemAudio);
    std::unique_ptr<AudioCapture> startAudio(AudioSource source, AudioWriterInput* input);
    void appendAudio(AudioWriterInput& input, const CapturedAudioChunk& chunk) const;
    void holdLastFrameUntil(HostTime stopTime);
    void releaseCapture();

    CaptureServices services_;
    std::unique_ptr<MovieWriter> writer_;
    VideoWriterInput* videoInput_ = nullptr;
    AudioWriterInput* micInput_ = nullptr;
    AudioWriterInput* systemAudioInput_ = nullptr;
    std::unique_ptr<AudioCapture> micCapture_;
    std::unique_ptr<AudioCapture> systemAudioCapture_;
    std::unique_ptr<ScreenStream> stream_;
    HostTime sessionStart_{};
    std::optional<std::filesystem::path> outputURL_;
    bool started_ = false;

    // Written on the capture thread; read by stop() once the stream has ended.
    std::atomic<bool> appendedVideo_{false};
    VideoFrame lastFrame_;
    HostTime lastFrameTime_{};

    mutable std::mutex streamErrorMutex_;
    std::exception_ptr streamError_;
};

}  // namespace zarvex
