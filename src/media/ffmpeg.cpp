#include "media/ffmpeg.h"

#include <cstdlib>
#include <mutex>
#include <new>

namespace zarvex::ff {

FramePtr makeFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        throw std::bad_alloc();
    }
    return frame;
}

PacketPtr makePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        throw std::bad_alloc();
    }
    return packet;
}

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void fail(std::string_view action, int code) {
    throw MediaError(std::string(action) + ": " + errorText(code), code);
}

int check(int code, std::string_view action) {
    if (code < 0) {
        fail(action, code);
    }
    return code;
}

void configureLogging() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("ZARVEX_FFMPEG_LOG") == nullptr) {
            av_log_set_level(AV_LOG_QUIET);
        }
    });
}

InputFormatPtr openInput(const std::string& path) {
    configureLogging();
    // Only local files are read: the explicit scheme keeps a name such as
    // "http://host/x.png" or "a:b.mov" a file name, and the whitelist keeps
    // demuxers from following references to other protocols.
    const std::string url = "file:" + path;
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    std::unique_ptr<AVDictionary*, void (*)(AVDictionary**)> options(&rawOptions, av_dict_free);
    AVFormatContext* raw = nullptr;
    check(avformat_open_input(&raw, url.c_str(), nullptr, options.get()), "Could not open " + path);
    InputFormatPtr context(raw);
    check(avformat_find_stream_info(context.get(), nullptr), "Could not read " + path);
    return context;
}

CodecContextPtr openDecoder(const AVStream& stream, int threadCount) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) {
        throw MediaError(
            std::string("No decoder for ") + avcodec_get_name(stream.codecpar->codec_id),
            AVERROR_DECODER_NOT_FOUND);
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        throw std::bad_alloc();
    }
    check(avcodec_parameters_to_context(context.get(), stream.codecpar),
          "Could not set up decoder");
    context->pkt_timebase = stream.time_base;
    context->thread_count = threadCount;
    check(avcodec_open2(context.get(), codec, nullptr),
          std::string("Could not open ") + codec->name + " decoder");
    return context;
}

VideoFrame wrapI420(const AVFrame& frame, ColorTags color) {
    AVFrame* reference = av_frame_clone(&frame);
    if (reference == nullptr) {
        throw std::bad_alloc();
    }
    VideoFrame result;
    result.format = PixelFormat::i420;
    result.width = frame.width;
    result.height = frame.height;
    for (int plane = 0; plane < 3; ++plane) {
        result.data[plane] = reference->data[plane];
        result.stride[plane] = reference->linesize[plane];
    }
    result.color = color;
    result.storage = std::shared_ptr<void>(reference, [](void* p) {
        AVFrame* owned = static_cast<AVFrame*>(p);
        av_frame_free(&owned);
    });
    return result;
}

FramePtr wrapVideoFrame(const VideoFrame& frame) {
    FramePtr result = makeFrame();
    result->format = frame.format == PixelFormat::bgra ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P;
    result->width = frame.width;
    result->height = frame.height;
    for (int plane = 0; plane < frame.planeCount(); ++plane) {
        result->data[plane] = frame.data[plane];
        result->linesize[plane] = frame.stride[plane];
    }
    // One buffer reference keeps the VideoFrame's storage alive as long as the
    // AVFrame (or any reference an encoder takes) lives.
    auto* keeper = new std::shared_ptr<void>(frame.storage);
    result->buf[0] = av_buffer_create(
        frame.data[0], 1,
        [](void* opaque, std::uint8_t*) { delete static_cast<std::shared_ptr<void>*>(opaque); },
        keeper, 0);
    if (result->buf[0] == nullptr) {
        delete keeper;
        throw std::bad_alloc();
    }
    return result;
}

}  // namespace zarvex::ff
