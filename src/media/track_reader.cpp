#include "media/track_reader.h"

namespace zarvex::ff {

TrackReader::TrackReader(const std::filesystem::path& path, int trackIndex, TrackKind kind,
                         int decoderThreads)
    : input_(openInput(path.string())) {
    auto track = trackIndex >= 0 && unsigned(trackIndex) < input_->nb_streams
                     ? describeTrack(*input_, unsigned(trackIndex))
                     : std::nullopt;
    if (!track || track->kind != kind) {
        throw MediaError(path.string() + " has no " +
                         (kind == TrackKind::video ? "video" : "audio") + " track " +
                         std::to_string(trackIndex));
    }
    track_ = std::move(*track);
    stream_ = input_->streams[trackIndex];
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        if (int(i) != trackIndex) {
            input_->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    decoder_ = openDecoder(*stream_, decoderThreads);
}

void TrackReader::sendNextPacket(std::string_view action) {
    if (av_read_frame(input_.get(), packet_.get()) < 0) {
        inputEnded_ = true;
        avcodec_send_packet(decoder_.get(), nullptr);
        return;
    }
    if (packet_->stream_index == stream_->index) {
        if (packet_->dts != AV_NOPTS_VALUE) {
            lastDts_ = packet_->dts;
        }
        const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
        if (sent < 0 && sent != AVERROR_INVALIDDATA) {
            av_packet_unref(packet_.get());
            fail(action, sent);
        }
    }
    av_packet_unref(packet_.get());
}

bool TrackReader::seekBackward(std::int64_t ticks) {
    const std::int64_t start = stream_->start_time == AV_NOPTS_VALUE ? 0 : stream_->start_time;
    bool atStart = ticks <= start;
    int sought = av_seek_frame(input_.get(), stream_->index, ticks, AVSEEK_FLAG_BACKWARD);
    if (sought < 0) {
        // Before the first keyframe: start from the beginning.
        sought =
            avformat_seek_file(input_.get(), stream_->index, INT64_MIN, INT64_MIN, INT64_MIN, 0);
        atStart = true;
    }
    ++seeks_;
    avcodec_flush_buffers(decoder_.get());
    inputEnded_ = false;
    lastDts_ = AV_NOPTS_VALUE;
    check(sought, "Could not seek in the " + track_.codec + " track");
    return atStart;
}

}  // namespace zarvex::ff
