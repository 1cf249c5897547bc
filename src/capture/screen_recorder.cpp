#include "capture/screen_recorder.h"

#include <stdexcept>
#include <thread>

#include "capture/errors.h"
#include "capture/writer_failure.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;

// How long stop() waits for the encoder queue to take the held last picture.
constexpr auto kLastFrameWait = 2s;
constexpr auto kLastFramePoll = 2ms;

}  // namespace

ScreenRecorder::ScreenRecorder(const CaptureServices& services) : services_(services) {
    if (services_.content == nullptr || services_.screenCapture == nullptr ||
        services_.clock == nullptr) {
        throw std::invalid_argument("A screen recorder needs shareable content and screen capture");
    }
}

ScreenRecorder::~ScreenRecorder() {
    // The callbacks use the writer's inputs: capture ends before they go.
    releaseCapture();
}

void ScreenRecorder::start(const CaptureTarget& target, const std::filesystem::path& outputFile,
                           bool microphone, bool systemAudio, bool cursorShown,
                           HostTime sessionStart) {
    if (started_) {
        throw std::logic_error("A screen recorder is started once");
    }
    started_ = true;
    outputURL_ = outputFile;
    sessionStart_ = sessionStart;

    const ShareableContent content = services_.content->content();
    const ScreenStreamPlan plan =
        planScreenStream(content, target, cursorShown, services_.ownProcessID);

    setUpWriter(plan.configuration.width, plan.configuration.height, microphone, systemAudio);
    if (micInput_ != nullptr) {
        micCapture_ = startAudio(AudioSource::microphone, micInput_);
    }
    stream_ = services_.screenCapture->startCapture(plan.filter, plan.configuration, *this);
    if (systemAudioInput_ != nullptr) {
        systemAudioCapture_ = startAudio(AudioSource::systemAudio, systemAudioInput_);
    }
}

void ScreenRecorder::setUpWriter(int width, int height, bool microphone, bool systemAudio) {
    // The writer removes whatever was at the location; a failure to remove
    // shows as a failure to start writing.
    auto writer = std::make_unique<MovieWriter>(*outputURL_, MovieFileType::quickTimeMovie);
    VideoWriterInput& video =
        writer->addVideoInput(VideoSettings::recordingH264(width, height), true);
    const AudioSettings audio;  // AAC, 48 kHz, stereo, 192 kbit/s
    AudioWriterInput* mic = microphone ? &writer->addAudioInput(audio) : nullptr;
    AudioWriterInput* system = systemAudio ? &writer->addAudioInput(audio) : nullptr;
    try {
        writer->startWriting();
    } catch (const MediaError& error) {
        throw writerFailure(error, "Could not start writing.");
    }
    writer->startSession(toMediaTime(sessionStart_));
    writer_ = std::move(writer);
    videoInput_ = &video;
    micInput_ = mic;
    systemAudioInput_ = system;
}

std::unique_ptr<AudioCapture> ScreenRecorder::startAudio(AudioSource source,
                                                         AudioWriterInput* input) {
    if (!services_.makeAudioCapture) {
        return nullptr;
    }
    std::unique_ptr<AudioCapture> capture = services_.makeAudioCapture(source);
    if (!capture) {
        return nullptr;
    }
    capture->start([this, input](const CapturedAudioChunk& chunk) { appendAudio(*input, chunk); });
    return capture;
}

void ScreenRecorder::appendAudio(AudioWriterInput& input, const CapturedAudioChunk& chunk) const {
    // A chunk that reaches past T0 is handed over whole: the writer cuts off
    // the samples before T0, so the track starts exactly there.
    if (chunk.samples.empty() || chunk.endTime() <= sessionStart_ ||
        !input.isReadyForMoreMediaData()) {
        return;
    }
    const AudioChunk samples{chunk.samples.data(), static_cast<int>(chunk.frameCount()),
                             kCaptureSampleRate, kCaptureChannelCount, SampleFormat::f32};
    input.append(samples, toMediaTime(chunk.time));
}

void ScreenRecorder::didOutputFrame(const ScreenFrame& frame) {
    if (frame.status != FrameStatus::complete || frame.image.empty() ||
        frame.time < sessionStart_) {
        return;
    }
    if (videoInput_ == nullptr || !videoInput_->isReadyForMoreMediaData()) {
        return;
    }
    if (videoInput_->append(frame.image, toMediaTime(frame.time))) {
        // Shares the pixels the encoder holds anyway; the stream builds its
        // next picture in another buffer.
        lastFrame_ = frame.image;
        lastFrameTime_ = frame.time;
        appendedVideo_ = true;
    }
}

void ScreenRecorder::didStopWithError(std::exception_ptr error) {
    std::lock_guard lock(streamErrorMutex_);
    streamError_ = std::move(error);
}

bool ScreenRecorder::captureFailed() const {
    std::lock_guard lock(streamErrorMutex_);
    return static_cast<bool>(streamError_);
}

void ScreenRecorder::releaseCapture() {
    if (stream_) {
        stream_->stopCapture();
        stream_.reset();
    }
    // Stopping waits for a chunk being handled, so nothing is appended after.
    if (micCapture_) {
        micCapture_->stop();
        micCapture_.reset();
    }
    if (systemAudioCapture_) {
        systemAudioCapture_->stop();
        systemAudioCapture_.reset();
    }
}

void ScreenRecorder::holdLastFrameUntil(HostTime stopTime) {
    if (lastFrame_.empty() || stopTime <= lastFrameTime_) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLastFrameWait;
    while (!videoInput_->isReadyForMoreMediaData() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kLastFramePoll);
    }
    videoInput_->append(lastFrame_, toMediaTime(stopTime));
}

std::filesystem::path ScreenRecorder::stop() {
    const HostTime stopTime = services_.clock->now();
    releaseCapture();
    if (!writer_ || !outputURL_) {
        throw RecorderError::writerFailed("Writer was never started.");
    }
    std::exception_ptr streamError;
    {
        std::lock_guard lock(streamErrorMutex_);
        streamError = streamError_;
    }
    if (!appendedVideo_) {
        writer_->cancelWriting();
        if (streamError) {
            std::rethrow_exception(streamError);
        }
        throw RecorderError::writerFailed("No frames were captured.");
    }

    // A stream that failed keeps what it captured: the movie ends where
    // capture did, and the error is reported once the file is safe.
    if (!streamError) {
        holdLastFrameUntil(stopTime);
    }
    videoInput_->markAsFinished();
    if (micInput_ != nullptr) {
        micInput_->markAsFinished();
    }
    if (systemAudioInput_ != nullptr) {
        systemAudioInput_->markAsFinished();
    }
    writer_->finishWriting();
    lastFrame_ = VideoFrame();
    if (streamError) {
        std::rethrow_exception(streamError);
    }
    if (writer_->status() == MovieWriter::Status::failed) {
        throw writerFailure(writer_->error(), "Unknown error.");
    }
    return *outputURL_;
}

}  // namespace zarvex
