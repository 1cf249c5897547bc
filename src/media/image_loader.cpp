#include "media/image_loader.h"

#include <libyuv/planar_functions.h>

#include "media/ffmpeg.h"

namespace zarvex {
namespace {

// The first picture of an image file as decoded by FFmpeg; null when there is none.
ff::FramePtr decodeFirstPicture(const std::filesystem::path& path) {
    ff::InputFormatPtr input = ff::openInput(path.string());
    const int streamIndex =
        av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0) {
        return nullptr;
    }
    ff::CodecContextPtr decoder = ff::openDecoder(*input->streams[streamIndex], 1);
    ff::PacketPtr packet = ff::makePacket();
    ff::FramePtr frame = ff::makeFrame();
    bool draining = false;
    while (true) {
        const int received = avcodec_receive_frame(decoder.get(), frame.get());
        if (received == 0) {
            return frame;
        }
        if (received != AVERROR(EAGAIN) || draining) {
            return nullptr;
        }
        const int read = av_read_frame(input.get(), packet.get());
        if (read < 0) {
            draining = true;
            avcodec_send_packet(decoder.get(), nullptr);
            continue;
        }
        if (packet->stream_index == streamIndex) {
            avcodec_send_packet(decoder.get(), packet.get());
        }
        av_packet_unref(packet.get());
    }
}

}  // namespace

std::optional<VideoFrame> loadImage(const std::filesystem::path& path) {
    try {
        ff::FramePtr picture = decodeFirstPicture(path);
        if (!picture || picture->width <= 0 || picture->height <= 0) {
            return std::nullopt;
        }
        const auto sourceFormat = static_cast<AVPixelFormat>(picture->format);
        ff::SwsPtr scaler(sws_getContext(picture->width, picture->height, sourceFormat,
                                         picture->width, picture->height, AV_PIX_FMT_BGRA,
                                         SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                         nullptr, nullptr, nullptr));
        if (!scaler) {
            return std::nullopt;
        }
        VideoFrame image = VideoFrame::allocate(PixelFormat::bgra, picture->width, picture->height);
        std::uint8_t* const destination[4] = {image.data[0], nullptr, nullptr, nullptr};
        const int destinationStride[4] = {image.stride[0], 0, 0, 0};
        sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, destination,
                  destinationStride);
        // Sources without alpha come out opaque; those with it are straight
        // alpha and are premultiplied here.
        if (av_pix_fmt_desc_get(sourceFormat)->flags & AV_PIX_FMT_FLAG_ALPHA) {
            libyuv::ARGBAttenuate(image.data[0], image.stride[0], image.data[0], image.stride[0],
                                  image.width, image.height);
        }
        return image;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace zarvex
