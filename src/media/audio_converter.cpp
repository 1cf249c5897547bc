#include "media/audio_converter.h"

#include "media/audio_format.h"

namespace zarvex::ff {

AudioConverter::AudioConverter(AVSampleFormat outFormat) : outFormat_(outFormat) {}

const AVFrame& AudioConverter::convert(const AVFrame& frame) {
    return convert(frame.extended_data, frame.nb_samples, frame.ch_layout,
                   static_cast<AVSampleFormat>(frame.format), frame.sample_rate);
}

const AVFrame& AudioConverter::convert(const std::uint8_t* const* data, int frameCount,
                                       const AVChannelLayout& layout, AVSampleFormat format,
                                       int sampleRate) {
    if (!swr_ || av_channel_layout_compare(&layout, &inLayout_) != 0 || format != inFormat_ ||
        sampleRate != inRate_) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        AVChannelLayout source{};
        // Files that state only a channel count get the default layout for it.
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&source, layout.nb_channels);
        } else {
            check(av_channel_layout_copy(&source, &layout), "Could not read the channel layout");
        }
        SwrContext* raw = nullptr;
        const int made = swr_alloc_set_opts2(&raw, &stereo, outFormat_, kAudioSampleRate, &source,
                                             format, sampleRate, 0, nullptr);
        av_channel_layout_uninit(&source);
        swr_.reset(raw);
        check(made, "Could not set up the audio resampler");
        check(swr_init(swr_.get()), "Could not set up the audio resampler");
        av_channel_layout_uninit(&inLayout_);
        check(av_channel_layout_copy(&inLayout_, &layout), "Could not read the channel layout");
        inFormat_ = format;
        inRate_ = sampleRate;
    }
    return run(data, frameCount);
}

const AVFrame& AudioConverter::flush() {
    if (!swr_) {
        av_frame_unref(out_.get());
        out_->nb_samples = 0;
        return *out_;
    }
    return run(nullptr, 0);
}

void AudioConverter::reset() {
    swr_.reset();
    av_channel_layout_uninit(&inLayout_);
    inFormat_ = AV_SAMPLE_FMT_NONE;
    inRate_ = 0;
}

const AVFrame& AudioConverter::run(const std::uint8_t* const* data, int frameCount) {
    const int capacity = swr_get_out_samples(swr_.get(), frameCount);
    av_frame_unref(out_.get());
    out_->format = outFormat_;
    out_->sample_rate = kAudioSampleRate;
    out_->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    out_->nb_samples = std::max(capacity, 1);
    check(av_frame_get_buffer(out_.get(), 0), "Could not allocate audio");
    const int converted = swr_convert(swr_.get(), out_->extended_data, out_->nb_samples,
                                      const_cast<const std::uint8_t**>(data), frameCount);
    check(converted, "Could not resample audio");
    out_->nb_samples = converted;
    return *out_;
}

}  // namespace zarvex::ff
