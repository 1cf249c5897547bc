#include "media/movie_reader.h"

#include <algorithm>

#include "media/ffmpeg.h"

namespace zarvex {

MediaTime TimeRange::duration() const {
    if (end <= start) {
        return MediaTime::zero();
    }
    // Exact difference over the common timescale when it fits, else microseconds.
    if (start.timescale == end.timescale) {
        return {end.value - start.value, end.timescale};
    }
    const std::int64_t scale = std::lcm<std::int64_t>(start.timescale, end.timescale);
    if (scale <= INT32_MAX) {
        return {end.value * (scale / end.timescale) - start.value * (scale / start.timescale),
                static_cast<std::int32_t>(scale)};
    }
    return MediaTime::fromSeconds(end.seconds() - start.seconds(), 1'000'000);
}

TimeRange TimeRange::intersection(const TimeRange& other) const {
    const MediaTime from = std::max(start, other.start);
    const MediaTime to = std::min(end, other.end);
    return to <= from ? TimeRange{from, from} : TimeRange{from, to};
}

std::vector<TrackInfo> MovieInfo::tracksOf(TrackKind kind) const {
    std::vector<TrackInfo> result;
    std::copy_if(tracks.begin(), tracks.end(), std::back_inserter(result),
                 [kind](const TrackInfo& track) { return track.kind == kind; });
    return result;
}

MovieInfo readMovieInfo(const std::filesystem::path& path) {
    ff::InputFormatPtr input = ff::openInput(path.string());
    MovieInfo info;
    info.path = path;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (auto track = ff::describeTrack(*input, i)) {
            info.duration = std::max(info.duration, track->contentRange.end);
            info.tracks.push_back(std::move(*track));
        }
    }
    return info;
}

namespace ff {

std::optional<TrackInfo> describeTrack(const AVFormatContext& input, unsigned streamIndex) {
    const AVStream& stream = *input.streams[streamIndex];
    const AVCodecParameters& parameters = *stream.codecpar;
    const bool video = parameters.codec_type == AVMEDIA_TYPE_VIDEO &&
                       !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC);
    if (!video && parameters.codec_type != AVMEDIA_TYPE_AUDIO) {
        return std::nullopt;
    }
    TrackInfo track;
    track.index = static_cast<int>(streamIndex);
    track.kind = video ? TrackKind::video : TrackKind::audio;
    track.codec = avcodec_get_name(parameters.codec_id);
    if (video) {
        track.width = parameters.width;
        track.height = parameters.height;
        if (stream.avg_frame_rate.den > 0) {
            track.frameRate = av_q2d(stream.avg_frame_rate);
        }
    } else {
        track.sampleRate = parameters.sample_rate;
        track.channels = parameters.ch_layout.nb_channels;
    }
    // The demuxer applies edit lists: start_time is the first presentation
    // time and duration runs to the end of the last sample.
    const std::int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
    std::int64_t length = stream.duration;
    if (length == AV_NOPTS_VALUE || length < 0) {
        length = input.duration == AV_NOPTS_VALUE
                     ? 0
                     : av_rescale_q(input.duration, AV_TIME_BASE_Q, stream.time_base);
    }
    track.contentRange = {toMediaTime(start, stream.time_base),
                          toMediaTime(start + length, stream.time_base)};
    return track;
}

}  // namespace ff
}  // namespace zarvex
