#include "fake_audio_capture.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

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
    buffer_.resize(frames * kCaptureChannelCount);
    const double step = 2 * std::numbers::pi * frequency / kCaptureSampleRate;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto value = static_cast<float>(0.5 * std::sin(phase_));
        phase_ = std::fmod(phase_ + step, 2 * std::numbers::pi);
        buffer_[i * 2] = value;
        buffer_[i * 2 + 1] = value;
    }
    return deliver(time, buffer_);
}

}  // namespace zarvex::testing
