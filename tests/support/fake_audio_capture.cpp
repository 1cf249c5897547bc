#include "fake_audio_capture.h"

#include <stdexcept>

#include "media_fixtures.h"

namespace zarvex::testing {

void FakeAudioCapture::start(ChunkHandler handler) {
    if (isRunning()) {
        throw std::logic_error("audio capture is already running");
    }
    handler_ = handler ? std::move(handler) : [](const CapturedAudioChunk&) {};
}

void FakeAudioCapture::stop() {
    handler_ = nullptr;
}

bool FakeAudioCapture::deliver(HostTime time, std::span<const float> samples, bool discontinuity) {
    if (!isRunning()) {
        return false;
    }
    delivered_ = true;
    handler_(CapturedAudioChunk{time, samples, discontinuity});
    return true;
}

bool FakeAudioCapture::deliverTone(HostTime time, std::size_t frames, double frequency) {
    buffer_ = toneSamples(frequency, int(frames), toneFrames_, 0.5f);
    toneFrames_ += std::int64_t(frames);
    return deliver(time, buffer_);
}

}  // namespace zarvex::testing
