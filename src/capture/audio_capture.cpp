#include "capture/audio_capture.h"

namespace zarvex {

std::string_view audioThreadName(AudioSource source) {
    return source == AudioSource::microphone ? "mic-capture" : "system-audio";
}

HostTime audioFramesDuration(std::size_t frames) {
    return HostTime(static_cast<std::int64_t>(frames) * 1'000'000'000 / kCaptureSampleRate);
}

void AudioTimeline::restartWindow() {
    windowFrames_ = 0;
    windowLatest_ = HostTime::min();
}

AudioTimeline::Placement AudioTimeline::place(HostTime measured, std::size_t frameCount) {
    if (!started_ || measured > end() + tolerance_) {
        started_ = true;
        anchor_ = measured;
        framesSinceAnchor_ = frameCount;
        pendingSkip_ = 0;
        restartWindow();
        windowFrames_ = frameCount;
        windowLatest_ = HostTime(0);
        return {measured, 0, true};
    }
    windowLatest_ = std::max(windowLatest_, measured - end());
    windowFrames_ += frameCount;
    if (windowFrames_ >= kCorrectionWindowFrames) {
        if (windowLatest_ < -tolerance_) {
            const auto lag = -windowLatest_;
            pendingSkip_ +=
                static_cast<std::size_t>(lag.count() * kCaptureSampleRate / 1'000'000'000);
        }
        restartWindow();
    }
    Placement placement{end(), std::min(pendingSkip_, frameCount), false};
    pendingSkip_ -= placement.skipFrames;
    framesSinceAnchor_ += frameCount - placement.skipFrames;
    return placement;
}

}  // namespace zarvex
