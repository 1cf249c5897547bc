#include "capture/track_feeds.h"

#include <thread>

namespace zarvex {
namespace {

using namespace std::chrono_literals;

// Chunks kept before T0 is known: a second is more than a source delivers
// between its connection and T0.
constexpr std::size_t kKeptFrames = kCaptureSampleRate;

// A picture never lands on or before the previous one: a repeat stamped now
// may have gone in just before a picture the stream read a moment earlier.
constexpr HostTime kMinimumStep = 1ms;

constexpr auto kRoomPoll = 2ms;

}  // namespace

// ---------------------------------------------------------------- audio

AudioTrackFeed::AudioTrackFeed(AudioWriterInput& input) : input_(input) {}

AudioTrackFeed::~AudioTrackFeed() {
    stopSource();
}

void AudioTrackFeed::connect(std::unique_ptr<AudioCapture> source) {
    source_ = std::move(source);
    if (source_) {
        source_->start([this](const CapturedAudioChunk& chunk) { receive(chunk); });
    }
}

bool AudioTrackFeed::waitUntilDelivering(std::chrono::steady_clock::time_point deadline) {
    const auto now = std::chrono::steady_clock::now();
    return source_ && source_->waitUntilDelivering(std::chrono::ceil<std::chrono::milliseconds>(
                          std::max(deadline - now, std::chrono::steady_clock::duration::zero())));
}

void AudioTrackFeed::receive(const CapturedAudioChunk& chunk) {
    const std::size_t frames = chunk.frameCount();
    if (frames == 0) {
        return;
    }
    std::lock_guard lock(mutex_);
    delivered_ = true;
    if (sessionStart_) {
        append(chunk.time, chunk.samples.data(), frames);
        return;
    }
    kept_.push_back({chunk.time, {chunk.samples.begin(), chunk.samples.end()}});
    keptFrames_ += frames;
    while (keptFrames_ > kKeptFrames && kept_.size() > 1) {
        keptFrames_ -= kept_.front().samples.size() / kCaptureChannelCount;
        kept_.pop_front();
    }
}

void AudioTrackFeed::append(HostTime time, const float* samples, std::size_t frames) {
    // A chunk that reaches past T0 is handed over whole: the writer cuts off
    // the samples before T0, so the track starts exactly there.
    if (time + audioFramesDuration(frames) <= *sessionStart_ || !input_.isReadyForMoreMediaData()) {
        return;
    }
    const AudioChunk chunk{samples, static_cast<int>(frames), kCaptureSampleRate,
                           kCaptureChannelCount, SampleFormat::f32};
    input_.append(chunk, toMediaTime(time));
}

void AudioTrackFeed::begin(HostTime sessionStart) {
    std::lock_guard lock(mutex_);
    sessionStart_ = sessionStart;
    for (const KeptChunk& chunk : kept_) {
        append(chunk.time, chunk.samples.data(), chunk.samples.size() / kCaptureChannelCount);
    }
    kept_.clear();
    keptFrames_ = 0;
}

void AudioTrackFeed::fillSilenceUntil(HostTime time) {
    std::lock_guard lock(mutex_);
    if (sessionStart_ && !delivered_) {
        input_.appendSilence(toMediaTime(time));
    }
}

void AudioTrackFeed::stopSource() {
    // Not under the lock: stopping waits for a chunk being handled.
    if (source_) {
        source_->stop();
    }
}

void AudioTrackFeed::finish(HostTime end) {
    std::lock_guard lock(mutex_);
    if (sessionStart_) {
        input_.appendSilence(toMediaTime(end));
    }
}

// ---------------------------------------------------------------- video

VideoTrackFeed::VideoTrackFeed(VideoWriterInput& input) : input_(input) {}

void VideoTrackFeed::deliver(const VideoFrame& image, HostTime time) {
    std::lock_guard lock(mutex_);
    if (sessionStart_ && time < *sessionStart_) {
        return;  // read before T0 but delivered after it: not part of the movie
    }
    // Shares the pixels; the stream builds its next picture in another buffer.
    waiting_ = image;
    waitingTime_ = time;
    if (sessionStart_) {
        appendWaitingLocked();
    }
}

void VideoTrackFeed::begin(HostTime sessionStart) {
    std::lock_guard lock(mutex_);
    sessionStart_ = sessionStart;
    appendWaitingLocked();
}

bool VideoTrackFeed::appendLocked(const VideoFrame& image, HostTime time) {
    time = std::max(time, *sessionStart_);
    if (!last_.empty() && time <= lastTime_) {
        time = lastTime_ + kMinimumStep;
    }
    if (!input_.append(image, toMediaTime(time))) {
        return false;
    }
    last_ = image;
    lastTime_ = time;
    return true;
}

bool VideoTrackFeed::appendWaitingLocked() {
    if (waiting_.empty() || !input_.isReadyForMoreMediaData() ||
        !appendLocked(waiting_, waitingTime_)) {
        return false;
    }
    waiting_ = VideoFrame();
    return true;
}

void VideoTrackFeed::tick(HostTime now) {
    std::lock_guard lock(mutex_);
    if (!sessionStart_ || appendWaitingLocked()) {
        return;
    }
    if (repeating_ && waiting_.empty() && !last_.empty() && now - lastTime_ >= kRepeatInterval &&
        input_.isReadyForMoreMediaData()) {
        appendLocked(last_, now);
    }
}

void VideoTrackFeed::stopRepeating() {
    std::lock_guard lock(mutex_);
    repeating_ = false;
}

bool VideoTrackFeed::hasAppended() const {
    std::lock_guard lock(mutex_);
    return !last_.empty();
}

void VideoTrackFeed::finish(HostTime end, std::chrono::milliseconds limit,
                            const std::function<bool()>& writing) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // Runs `append` once the encoder has room, while `wanted` holds; gives up
    // when the writer stops or time runs out.
    const auto whenRoom = [&](const auto& wanted, const auto& append) {
        while (true) {
            {
                std::lock_guard lock(mutex_);
                if (!wanted()) {
                    return;
                }
                if (input_.isReadyForMoreMediaData()) {
                    append();
                    return;
                }
            }
            if (!writing() || std::chrono::steady_clock::now() >= deadline) {
                return;
            }
            std::this_thread::sleep_for(kRoomPoll);
        }
    };
    whenRoom([&] { return !waiting_.empty(); }, [&] { appendWaitingLocked(); });
    whenRoom([&] { return repeating_ && !last_.empty() && end > lastTime_; },
             [&] { appendLocked(last_, end); });
}

}  // namespace zarvex
