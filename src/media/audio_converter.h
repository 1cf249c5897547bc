#pragma once

// Internal to src/media: resampling to the 48 kHz stereo form of audio_format.h.

#include "media/ffmpeg.h"

namespace zarvex::ff {

// Converts audio of any layout, sample format and rate to 48 kHz stereo in
// `outFormat`. Reconfigures itself when the input form changes.
class AudioConverter {
  public:
    explicit AudioConverter(AVSampleFormat outFormat);
    ~AudioConverter() { av_channel_layout_uninit(&inLayout_); }
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // The converted samples of `frameCount` input frames; a resampler may hold
    // a few back until the next call or flush(). The frame is reused by the
    // next call.
    const AVFrame& convert(const std::uint8_t* const* data, int frameCount,
                           const AVChannelLayout& layout, AVSampleFormat format, int sampleRate);
    const AVFrame& convert(const AVFrame& frame);
    // What the resampler still holds.
    const AVFrame& flush();
    // Forgets held samples (after a seek).
    void reset();

  private:
    const AVFrame& run(const std::uint8_t* const* data, int frameCount);

    AVSampleFormat outFormat_;
    SwrPtr swr_;
    AVChannelLayout inLayout_{};
    AVSampleFormat inFormat_ = AV_SAMPLE_FMT_NONE;
    int inRate_ = 0;
    FramePtr out_ = makeFrame();
};

}  // namespace zarvex::ff
