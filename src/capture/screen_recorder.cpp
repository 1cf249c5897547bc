#include "capture/screen_recorder.h"

#include <stdexcept>

#include "capture/errors.h"
#include "capture/writer_failure.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;

// How long stop() waits for the encoder queue to take the last pictures.
constexpr auto kLastFrameWait = 2s;
// The housekeeping thread's pace.
constexpr auto kKeeperInterval = 100ms;
// Silence for a source that delivers nothing reaches this close to now: late
// enough that a chunk still on its way is not covered by it, early enough
// that the movie's first fragment does not wait for it.
constexpr HostTime kSilenceLag = 250ms;

}  // namespace

ScreenRecorder::ScreenRecorder(const CaptureServices& services) : services_(services) {
    if (services_.content == nullptr || services_.screenCapture == nullptr ||
        services_.clock == nullptr) {
        throw std::invalid_argument("A screen recorder needs shareable content and screen capture");
    }
}

ScreenRecorder::~ScreenRecorder() {
    if (started_ && !stopped_) {
        // Quitting never throws a recording away: it is finished as stop() would.
        try {
            stop();
        } catch (...) {
        }
        return;
    }
    // The callbacks use the writer's inputs: capture ends before they go.
    stopKeeper();
    releaseCapture();
}

void ScreenRecorder::prepare(const CaptureTarget& target, const std::filesystem::path& outputFile,
                             bool microphone, bool systemAudio, bool cursorShown) {
    if (prepared_) {
        throw std::logic_error("A screen recorder is prepared once");
    }
    prepared_ = true;
    outputURL_ = outputFile;

    const ShareableContent content = services_.content->content();
    const ScreenStreamPlan plan =
        planScreenStream(content, target, cursorShown, services_.ownProcessID);

    setUpWriter(plan.configuration.width, plan.configuration.height, microphone, systemAudio);
    if (microphone_) {
        connectAudio(AudioSource::microphone, *microphone_);
    }
    if (systemAudio_) {
        connectAudio(AudioSource::systemAudio, *systemAudio_);
    }
    stream_ = services_.screenCapture->startCapture(plan.filter, plan.configuration, *this);
}

bool ScreenRecorder::waitForAudio(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool delivering = true;
    for (AudioTrackFeed* feed : {microphone_.get(), systemAudio_.get()}) {
        if (feed != nullptr && !feed->waitUntilDelivering(deadline)) {
            delivering = false;
        }
    }
    return delivering;
}

void ScreenRecorder::cancel() noexcept {
    if (started_ || stopped_) {
        return;
    }
    stopped_ = true;
    releaseCapture();
    if (writer_) {
        writer_->cancelWriting();
    }
}

void ScreenRecorder::start(const CaptureTarget& target, const std::filesystem::path& outputFile,
                           bool microphone, bool systemAudio, bool cursorShown,
                           HostTime sessionStart) {
    if (started_) {
        throw std::logic_error("A screen recorder is started once");
    }
    started_ = true;
    if (!prepared_) {
        prepare(target, outputFile, microphone, systemAudio, cursorShown);
    }
    writer_->startSession(toMediaTime(sessionStart));
    video_->begin(sessionStart);
    for (AudioTrackFeed* feed : {microphone_.get(), systemAudio_.get()}) {
        if (feed != nullptr) {
            feed->begin(sessionStart);
        }
    }
    keeper_ = startNamedThread("screen-keeper", [this] { keep(); });
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
    video_ = std::make_unique<VideoTrackFeed>(video);
    if (mic != nullptr) {
        microphone_ = std::make_unique<AudioTrackFeed>(*mic);
    }
    if (system != nullptr) {
        systemAudio_ = std::make_unique<AudioTrackFeed>(*system);
    }
    std::lock_guard lock(streamErrorMutex_);
    writer_ = std::move(writer);
}

void ScreenRecorder::connectAudio(AudioSource source, AudioTrackFeed& feed) {
    feed.connect(services_.makeAudioCapture ? services_.makeAudioCapture(source) : nullptr);
}

void ScreenRecorder::didOutputFrame(const ScreenFrame& frame) {
    if (frame.status == FrameStatus::complete && !frame.image.empty()) {
        video_->deliver(frame.image, frame.time);
    }
}

void ScreenRecorder::didStopWithError(std::exception_ptr error) {
    video_->stopRepeating();
    std::lock_guard lock(streamErrorMutex_);
    streamError_ = std::move(error);
}

std::exception_ptr ScreenRecorder::streamError() const {
    std::lock_guard lock(streamErrorMutex_);
    return streamError_;
}

bool ScreenRecorder::writerFailed() const {
    std::lock_guard lock(streamErrorMutex_);
    return writer_ && writer_->status() == MovieWriter::Status::failed;
}

bool ScreenRecorder::captureFailed() const {
    return streamError() != nullptr || writerFailed();
}

void ScreenRecorder::keep() {
    std::unique_lock lock(keeperMutex_);
    while (!keeperWake_.wait_for(lock, kKeeperInterval, [this] { return keeperStopping_; })) {
        lock.unlock();
        const HostTime now = services_.clock->now();
        video_->tick(now);
        for (AudioTrackFeed* feed : {microphone_.get(), systemAudio_.get()}) {
            if (feed != nullptr) {
                feed->fillSilenceUntil(now - kSilenceLag);
            }
        }
        lock.lock();
    }
}

void ScreenRecorder::stopKeeper() {
    if (!keeper_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(keeperMutex_);
        keeperStopping_ = true;
    }
    keeperWake_.notify_all();
    keeper_.join();
}

void ScreenRecorder::releaseCapture() {
    if (stream_) {
        stream_->stopCapture();
        stream_.reset();
    }
    // Stopping waits for a chunk being handled, so nothing is appended after.
    for (AudioTrackFeed* feed : {microphone_.get(), systemAudio_.get()}) {
        if (feed != nullptr) {
            feed->stopSource();
        }
    }
}

std::filesystem::path ScreenRecorder::stop() {
    if (stopped_) {
        throw std::logic_error("A screen recorder is stopped once");
    }
    stopped_ = true;
    const HostTime stopTime = services_.clock->now();
    stopKeeper();
    releaseCapture();
    if (!writer_ || !outputURL_) {
        throw RecorderError::writerFailed("Writer was never started.");
    }
    const std::exception_ptr failure = streamError();
    const auto writing = [this] { return writer_->status() == MovieWriter::Status::writing; };

    // A stream that failed keeps what it captured: the movie ends where
    // capture did, and the error is reported once the file is safe.
    video_->finish(stopTime, kLastFrameWait, writing);
    if (!video_->hasAppended()) {
        writer_->cancelWriting();
        if (failure) {
            std::rethrow_exception(failure);
        }
        throw RecorderError::writerFailed("No frames were captured.");
    }
    if (!failure) {
        for (AudioTrackFeed* feed : {microphone_.get(), systemAudio_.get()}) {
            if (feed != nullptr) {
                feed->finish(stopTime);
            }
        }
    }
    writer_->finishWriting();
    std::error_code noFile;
    keptMovie_ = std::filesystem::file_size(*outputURL_, noFile) > 0 && !noFile;
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (writer_->status() == MovieWriter::Status::failed) {
        throw writerFailure(writer_->error(), "Unknown error.");
    }
    return *outputURL_;
}

}  // namespace zarvex
