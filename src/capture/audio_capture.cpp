#include "capture/audio_capture.h"

namespace zarvex {

std::string_view audioThreadName(AudioSource source) {
    return source == AudioSource::microphone ? "mic-capture" : "system-audio";
}

HostTime audioFramesDuration(std::size_t frames) {
    return HostTime(static_cast<std::int64_t>(frames) * 1'000'000'000 / kCaptureSampleRate);
}

AudioTimeline::Placement AudioTimeline::place(HostTime measured, std::size_t frameCount) {
    if (!started_ || measured > end() + tolerance_) {
        started_ = true;
        anchor_ = measured;
        framesSinceAnchor_ = frameCount;
        return {measured, 0, true};
    }
    Placement placement{end(), 0, false};
    if (measured < end() - tolerance_) {
        // The device delivered more frames than host time passed: drop the
        // excess so the timeline realigns with the measurement.
        const auto excess = end() - measured;
        placement.skipFrames = std::min<std::size_t>(
            frameCount,
            static_cast<std::size_t>(excess.count() * kCaptureSampleRate / 1'000'000'000));
    }
    framesSinceAnchor_ += frameCount - placement.skipFrames;
    return placement;
}

}  // namespace zarvex
