#include "capture/audio_capture.h"

#include <algorithm>
#include <utility>

namespace zarvex {

std::string_view audioThreadName(AudioSource source) {
    return source == AudioSource::microphone ? "mic-capture" : "system-audio";
}

HostTime audioFramesDuration(std::size_t frames) {
    return HostTime(static_cast<std::int64_t>(frames) * 1'000'000'000 / kCaptureSampleRate);
}

void AudioTimeline::restart(HostTime at) {
    started_ = true;
    anchor_ = at;
    framesSinceAnchor_ = 0;
    pendingSkip_ = 0;
    windowFrames_ = 0;
    windowOffsets_.clear();
}

void AudioTimeline::skip(std::size_t frameCount) {
    framesSinceAnchor_ += frameCount;
    afterHole_ = true;
}

AudioTimeline::Placement AudioTimeline::place(HostTime measured, std::size_t frameCount) {
    if (!started_ || measured - end() > kJumpThreshold) {
        restart(measured);
        framesSinceAnchor_ = frameCount;
        afterHole_ = false;
        return {measured, 0, true};
    }
    bool discontinuity = std::exchange(afterHole_, false);
    windowOffsets_.push_back(measured - end());
    windowFrames_ += frameCount;
    if (windowFrames_ >= windowSize_) {
        auto middle = windowOffsets_.begin() + std::ptrdiff_t(windowOffsets_.size() / 2);
        std::nth_element(windowOffsets_.begin(), middle, windowOffsets_.end());
        const HostTime median = *middle;
        windowFrames_ = 0;
        windowOffsets_.clear();
        windowSize_ = kCorrectionWindowFrames;
        if (median > tolerance_) {
            // The timeline runs early: start again where it should be.
            anchor_ = end() + median;
            framesSinceAnchor_ = 0;
            pendingSkip_ = 0;
            discontinuity = true;
        } else if (median < -tolerance_) {
            // It runs late (or the device's clock fast): drop as many frames.
            pendingSkip_ +=
                static_cast<std::size_t>((-median).count() * kCaptureSampleRate / 1'000'000'000);
        }
    }
    Placement placement{end(), std::min(pendingSkip_, frameCount), discontinuity};
    pendingSkip_ -= placement.skipFrames;
    framesSinceAnchor_ += frameCount - placement.skipFrames;
    return placement;
}

}  // namespace zarvex
