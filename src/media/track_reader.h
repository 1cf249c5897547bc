#pragma once

// Internal to src/media: one track of a movie opened for decoding.

#include <filesystem>

#include "media/ffmpeg.h"

namespace zarvex::ff {

// Reads the packets of one track into its decoder; the demuxer skips the
// other tracks. Each reader owns its own file handle.
class TrackReader {
  public:
    // Throws MediaError when the file cannot be opened or the track is not of `kind`.
    TrackReader(const std::filesystem::path& path, int trackIndex, TrackKind kind,
                int decoderThreads);

    AVStream& stream() const { return *stream_; }
    AVCodecContext& decoder() const { return *decoder_; }
    const TrackInfo& track() const { return track_; }

    // Feeds the decoder the track's next packet; at the end of the file (or of
    // a file cut short, like a killed recording) it signals the end instead.
    // Damaged packets are skipped. `action` names the work in errors.
    void sendNextPacket(std::string_view action);
    bool inputEnded() const { return inputEnded_; }
    // Decode time of the last packet sent since opening or seeking.
    std::int64_t lastDts() const { return lastDts_; }

    // Moves to the keyframe at or before `ticks` (stream time base), or to the
    // start when there is none, and flushes the decoder. Returns true when it
    // went to the start.
    bool seekBackward(std::int64_t ticks);
    int seekCount() const { return seeks_; }

  private:
    InputFormatPtr input_;
    AVStream* stream_ = nullptr;
    CodecContextPtr decoder_;
    PacketPtr packet_ = makePacket();
    TrackInfo track_;
    bool inputEnded_ = false;
    std::int64_t lastDts_ = AV_NOPTS_VALUE;
    int seeks_ = 0;
};

}  // namespace zarvex::ff
