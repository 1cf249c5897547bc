#pragma once

// Internal to src/media: FFmpeg headers, RAII owners of FFmpeg handles and the
// conversions between FFmpeg and our own types. No header outside src/media
// includes this one.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "media/media_error.h"
#include "media/media_time.h"
#include "media/movie_reader.h"
#include "media/video_frame.h"

namespace zarvex::ff {

struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output context owns its AVIOContext (closed here when it was opened).
struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct SwsDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct SwrDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

FramePtr makeFrame();
PacketPtr makePacket();

// FFmpeg's text for an error number.
std::string errorText(int code);

// Throws MediaError("<action>: <FFmpeg's text>") when `code` is negative;
// returns it otherwise.
int check(int code, std::string_view action);
[[noreturn]] void fail(std::string_view action, int code);

// Opens a local file for demuxing (never a URL of another protocol) and reads
// its stream parameters. Errors name the file.
InputFormatPtr openInput(const std::string& path);

// The track a stream of an open input stands for; nothing for streams that
// are neither video nor audio (data, subtitles, cover pictures).
std::optional<TrackInfo> describeTrack(const AVFormatContext& input, unsigned streamIndex);

// A decoder for one stream, opened with the stream's parameters.
CodecContextPtr openDecoder(const AVStream& stream, int threadCount);

// Keeps FFmpeg's own logging off stderr unless ZARVEX_FFMPEG_LOG is set.
void configureLogging();

inline MediaTime toMediaTime(std::int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE || timeBase.den <= 0) {
        return MediaTime::invalid();
    }
    // Keep the stream's own timescale when it fits, so times stay exact.
    if (timeBase.num == 1 && timeBase.den <= INT32_MAX) {
        return {value, timeBase.den};
    }
    return {av_rescale_q(value, timeBase, AVRational{1, 90000}), 90000};
}

// Rounds to the nearest tick of `timeBase`.
inline std::int64_t toTicks(MediaTime time, AVRational timeBase) {
    return av_rescale_q_rnd(time.value, AVRational{1, time.timescale}, timeBase,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}
// The largest tick of `timeBase` not after `time`.
inline std::int64_t toTicksFloor(MediaTime time, AVRational timeBase) {
    return av_rescale_q_rnd(time.value, AVRational{1, time.timescale}, timeBase,
                            static_cast<AVRounding>(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
}

// A VideoFrame that views the pixels of a decoded yuv420p frame and keeps a
// reference to it.
VideoFrame wrapI420(const AVFrame& frame, ColorTags color);

// An AVFrame that views a VideoFrame's pixels (no copy); the VideoFrame's
// storage is kept alive by the AVFrame's buffer.
FramePtr wrapVideoFrame(const VideoFrame& frame);

}  // namespace zarvex::ff
