#include "media/video_decoder.h"

#include "media/ffmpeg.h"
#include "media/frame_converter.h"
#include "media/track_reader.h"

namespace zarvex {
namespace {

ColorTags colorTagsOf(const AVFrame& frame) {
    ColorTags tags;
    switch (frame.colorspace) {
        case AVCOL_SPC_BT709:
            tags.matrix = YuvMatrix::bt709;
            break;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
        case AVCOL_SPC_FCC:
        case AVCOL_SPC_SMPTE240M:
            tags.matrix = YuvMatrix::bt601;
            break;
        default:  // untagged (or a matrix we do not convert): by picture height
            tags.matrix = frame.height >= 720 ? YuvMatrix::bt709 : YuvMatrix::bt601;
            break;
    }
    const auto format = static_cast<AVPixelFormat>(frame.format);
    tags.range = frame.color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
                         format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P
                     ? YuvRange::full
                     : YuvRange::limited;
    return tags;
}

// Seeks that land after the requested time (a keyframe whose decode time is
// before it but whose presentation time is after it) retry this much earlier,
// doubling each time.
constexpr double kSeekBackoffSeconds = 0.5;

}  // namespace

struct VideoDecoder::State {
    State(const std::filesystem::path& path, int trackIndex, Output wanted)
        : reader(path, trackIndex, TrackKind::video, 2), output(wanted) {}

    ff::TrackReader reader;
    ff::FramePtr frame = ff::makeFrame();
    Output output = Output::i420;
    FrameConverter converter;
    SwsContext* reformatter = nullptr;  // owned; for stored formats other than yuv420p

    std::optional<DecodedFrame> current;  // shown at the last requested time
    std::optional<DecodedFrame> next;     // the frame after it, once decoded
    bool drained = false;                 // the decoder gave its last frame
    std::int64_t lastPts = AV_NOPTS_VALUE;
    bool atStart = true;  // nothing consumed since opening or seeking to the start

    ~State() { sws_freeContext(reformatter); }

    VideoFrame toVideoFrame(const AVFrame& decoded) {
        const ColorTags tags = colorTagsOf(decoded);
        const auto format = static_cast<AVPixelFormat>(decoded.format);
        VideoFrame image;
        if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
            image = ff::wrapI420(decoded, tags);
        } else {
            const bool rgb = av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_RGB;
            image = VideoFrame::allocate(rgb ? PixelFormat::bgra : PixelFormat::i420, decoded.width,
                                         decoded.height);
            image.color = tags;
            reformatter = sws_getCachedContext(
                reformatter, decoded.width, decoded.height, format, decoded.width, decoded.height,
                rgb ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                nullptr, nullptr);
            if (reformatter == nullptr) {
                throw MediaError(std::string("Could not convert pixel format ") +
                                 av_get_pix_fmt_name(format));
            }
            const int fullRange = tags.range == YuvRange::full;
            const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(reformatter, coefficients, fullRange, coefficients, fullRange,
                                     0, 1 << 16, 1 << 16);
            std::uint8_t* const planes[4] = {image.data[0], image.data[1], image.data[2], nullptr};
            const int strides[4] = {image.stride[0], image.stride[1], image.stride[2], 0};
            sws_scale(reformatter, decoded.data, decoded.linesize, 0, decoded.height, planes,
                      strides);
            if (rgb && output == Output::i420) {
                image = converter.toI420(image, image.width, image.height,
                                         {tags.matrix, YuvRange::limited});
            }
        }
        return output == Output::bgra ? converter.toBgra(image) : image;
    }

    // The next frame in presentation order; nothing at the end of the track.
    std::optional<DecodedFrame> decodeNext() {
        while (!drained) {
            const int received = avcodec_receive_frame(&reader.decoder(), frame.get());
            if (received == 0) {
                std::int64_t pts = frame->best_effort_timestamp;
                if (pts == AV_NOPTS_VALUE) {
                    pts = lastPts == AV_NOPTS_VALUE ? 0 : lastPts + 1;
                }
                lastPts = pts;
                DecodedFrame result{toVideoFrame(*frame),
                                    ff::toMediaTime(pts, reader.stream().time_base)};
                av_frame_unref(frame.get());
                return result;
            }
            if (received == AVERROR_EOF) {
                drained = true;
                break;
            }
            if (received != AVERROR(EAGAIN)) {
                ff::fail("Could not decode video", received);
            }
            if (reader.inputEnded()) {
                // The decoder wants input after the end was signalled; nothing more will come.
                drained = true;
                break;
            }
            reader.sendNextPacket("Could not decode video");
        }
        return std::nullopt;
    }

    void ensureNext() {
        if (!next) {
            next = decodeNext();
        }
    }

    // Shows the last frame at or before `time`, decoding forward.
    void advance(MediaTime time) {
        while (true) {
            ensureNext();
            if (!next || time < next->time) {
                return;
            }
            current = std::move(next);
            next.reset();
            atStart = false;
        }
    }

    // True when decoding forward to `time` would cross at least one whole
    // keyframe interval that seeking skips: the keyframe before `time` comes
    // after the first keyframe beyond what has been read. Nearer targets
    // decode on, so walks with small steps never seek.
    bool seekIsCheaper(MediaTime time) const {
        AVStream* stream = &reader.stream();
        const int entries = avformat_index_get_entries_count(stream);
        if (entries == 0) {
            const MediaTime from = current ? current->time : MediaTime::zero();
            return time.seconds() - from.seconds() > 2.0;
        }
        const AVIndexEntry* target = avformat_index_get_entry_from_timestamp(
            stream, ff::toTicksFloor(time, stream->time_base), AVSEEK_FLAG_BACKWARD);
        const std::int64_t position = reader.lastDts() != AV_NOPTS_VALUE
                                          ? reader.lastDts()
                                          : avformat_index_get_entry(stream, 0)->timestamp;
        const AVIndexEntry* following =
            avformat_index_get_entry_from_timestamp(stream, position + 1, 0);
        return target != nullptr && following != nullptr &&
               target->timestamp > following->timestamp;
    }

    // Seeks to the keyframe before `time` and decodes forward to it.
    void seekTo(MediaTime time) {
        const AVRational timeBase = reader.stream().time_base;
        const std::int64_t target = ff::toTicksFloor(time, timeBase);
        const auto step = std::max<std::int64_t>(
            1, std::llround(av_q2d(av_inv_q(timeBase)) * kSeekBackoffSeconds));
        std::int64_t backoff = 0;
        while (true) {
            const bool landedAtStart = reader.seekBackward(target - backoff);
            current.reset();
            next.reset();
            drained = false;
            lastPts = AV_NOPTS_VALUE;
            atStart = landedAtStart;
            advance(time);
            // Done when the frame was found, the track has no frames from here,
            // or `time` precedes the track's first frame.
            if (current || !next || landedAtStart) {
                return;
            }
            // Landed on a keyframe shown after `time`: go back further.
            backoff = backoff == 0 ? step : backoff * 2;
        }
    }
};

VideoDecoder::VideoDecoder(const std::filesystem::path& path, int trackIndex, Output output)
    : state_(std::make_unique<State>(path, trackIndex, output)) {}

VideoDecoder::~VideoDecoder() = default;

std::optional<DecodedFrame> VideoDecoder::frameAt(MediaTime time) {
    State& s = *state_;
    if (!time.isValid()) {
        return std::nullopt;
    }
    const bool forward = s.current ? s.current->time <= time : s.atStart;
    if (!forward) {
        s.seekTo(time);
        return s.current;
    }
    s.ensureNext();
    if (!s.next || time < s.next->time) {
        return s.current;
    }
    if (s.seekIsCheaper(time)) {
        s.seekTo(time);
    } else {
        s.advance(time);
    }
    return s.current;
}

std::optional<DecodedFrame> VideoDecoder::nextFrame() {
    State& s = *state_;
    s.ensureNext();
    if (!s.next) {
        return std::nullopt;
    }
    s.current = std::move(s.next);
    s.next.reset();
    s.atStart = false;
    return s.current;
}

const TrackInfo& VideoDecoder::track() const {
    return state_->reader.track();
}

int VideoDecoder::seekCount() const {
    return state_->reader.seekCount();
}

}  // namespace zarvex
