#include "render/frame_source.h"

#include <algorithm>

namespace zarvex {
namespace {

// True when a click ripple is visible at some time in [from, to].
bool ripplesBetween(const VideoCompositionInstruction* instruction, double from, double to) {
    const auto* style = dynamic_cast<const StyleInstruction*>(instruction);
    if (style == nullptr) {
        return true;
    }
    if (!style->style().ripplesEnabled()) {
        return false;
    }
    return std::any_of(style->clicks().begin(), style->clicks().end(), [&](const RecordedClick& c) {
        return c.t <= to && c.t + kRippleSeconds >= from;
    });
}

}  // namespace

CompositionFrameSource::CompositionFrameSource(std::shared_ptr<const Composition> composition)
    : composition_(std::move(composition)) {}

CompositionFrameSource::~CompositionFrameSource() = default;

SourceFrameSet CompositionFrameSource::sourceFramesAt(MediaTime time,
                                                      std::span<const TrackID> trackIDs) {
    SourceFrameSet set;
    set.compositionTime = time;
    for (const TrackID id : trackIDs) {
        std::optional<MediaTime> shown;
        const CompositionTrack* track = composition_->track(id);
        if (track != nullptr && track->mediaType == TrackKind::video &&
            track->timeRange().contains(time)) {
            std::unique_ptr<VideoDecoder>& decoder = decoders_[id];
            if (!decoder) {
                decoder =
                    std::make_unique<VideoDecoder>(track->sourceFile, track->sourceTrackIndex);
            }
            if (std::optional<DecodedFrame> decoded = decoder->frameAt(track->sourceTime(time))) {
                shown = decoded->time;
                set.frames.push_back({id, std::move(decoded->image)});
            }
        }
        set.signature.push_back(shown);
    }
    return set;
}

std::vector<TrackID> CompositionFrameSource::requiredTracks(
    const VideoComposition& videoComposition, MediaTime time) {
    const VideoCompositionInstruction* instruction = videoComposition.instructionAt(time);
    if (instruction == nullptr || !instruction->requiredSourceTrackIDs()) {
        return {};
    }
    return *instruction->requiredSourceTrackIDs();
}

CompositionResult CompositionFrameSource::styledFrameAt(const VideoComposition& videoComposition,
                                                        MediaTime time, FramePool& pool) {
    const std::vector<TrackID> tracks = requiredTracks(videoComposition, time);
    return composeFrame(videoComposition, sourceFramesAt(time, tracks), pool);
}

bool drawsSameFrame(const VideoComposition& videoComposition, const SourceFrameSet& earlier,
                    const SourceFrameSet& later) {
    const VideoCompositionInstruction* instruction =
        videoComposition.instructionAt(later.compositionTime);
    double from = earlier.compositionTime.seconds();
    double to = later.compositionTime.seconds();
    if (from > to) {
        std::swap(from, to);
    }
    return earlier.signature == later.signature &&
           videoComposition.instructionAt(earlier.compositionTime) == instruction &&
           !ripplesBetween(instruction, from, to);
}

CompositionResult composeFrame(const VideoComposition& videoComposition, const SourceFrameSet& set,
                               FramePool& pool) {
    CompositionRequest request;
    request.videoCompositionInstruction = videoComposition.instructionAt(set.compositionTime);
    request.compositionTime = set.compositionTime;
    request.sourceFrames = set.frames;
    request.renderContext = &pool;
    return StyleCompositor().startVideoCompositionRequest(request);
}

}  // namespace zarvex
