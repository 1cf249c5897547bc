#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "media/media_time.h"
#include "media/video_frame.h"
#include "render/image.h"
#include "render/style_instruction.h"

namespace zarvex {

// One decoded frame of a composition track.
struct SourceFrame {
    TrackID trackID = kInvalidTrackID;
    VideoFrame frame;  // BGRA or I420
};

// One output frame to compose. The caller owns everything it points to for the
// duration of the call.
struct CompositionRequest {
    const VideoCompositionInstruction* videoCompositionInstruction = nullptr;
    MediaTime compositionTime;
    std::span<const SourceFrame> sourceFrames;
    // Supplies the output buffer: BGRA for display, or I420 (BT.709 limited
    // range) for the encoder; either way of the instruction's canvas size.
    FramePool* renderContext = nullptr;

    // The frame of a track; nothing when the request has none (or an empty one).
    const VideoFrame* sourceFrameByTrackID(TrackID trackID) const;
};

// A request that could not be finished. Its domain is "Zarvex"; the message is
// shown to the user as it stands.
struct CompositionError {
    static constexpr std::string_view kDomain = "Zarvex";
    static constexpr int kUnexpectedInstruction = 1;
    static constexpr int kNoOutputFrame = 2;

    int code = 0;
    std::string message;

    std::string_view domain() const { return kDomain; }
    static CompositionError unexpectedInstruction();
    static CompositionError noOutputFrame();
    bool operator==(const CompositionError&) const = default;
};

// The composed frame or why there is none.
class CompositionResult {
  public:
    CompositionResult(VideoFrame frame) : value_(std::move(frame)) {}
    CompositionResult(CompositionError error) : value_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<VideoFrame>(value_); }
    const VideoFrame& frame() const { return std::get<VideoFrame>(value_); }
    const CompositionError& error() const { return std::get<CompositionError>(value_); }

  private:
    std::variant<VideoFrame, CompositionError> value_;
};

// Draws styled frames from a StyleInstruction: background, screen shadow,
// the screen cut to its rounded corners, click ripples, bubble shadow, bubble.
// Inside a zoom segment the screen's picture is a magnified part of the
// source, scaled from the source's own pixels; everything else stays put.
// Holds no state: any number of threads may run requests at once. Per frame it
// only scales and blends the source pictures and draws ripples in their own
// small boxes; it allocates nothing but the output buffer (per-thread working
// memory is kept and reused).
//
// The player and the export drive it alike:
//   auto instruction = std::make_shared<const StyleInstruction>(parameters);
//   FramePool pool(PixelFormat::i420, width, height);  // the encoder's frames
//   SourceFrame frames[] = {{screenTrack, screenFrame}, {webcamTrack, webcamFrame}};
//   CompositionRequest request{instruction.get(), time, frames, &pool};
//   CompositionResult result = StyleCompositor().startVideoCompositionRequest(request);
class StyleCompositor {
  public:
    static constexpr std::array<PixelFormat, 2> kSourcePixelFormats{PixelFormat::bgra,
                                                                    PixelFormat::i420};
    static constexpr std::array<PixelFormat, 2> kRenderContextPixelFormats{PixelFormat::bgra,
                                                                           PixelFormat::i420};

    // Renders one frame on the calling thread. Errors: code 1 when the
    // instruction is not a StyleInstruction, code 2 when the render context
    // cannot supply an output frame of the canvas size. A missing screen frame
    // gives the bare background; a missing webcam frame, no bubble.
    CompositionResult startVideoCompositionRequest(const CompositionRequest& request) const;

    // Draws the part `clip` of the request's frame into `target`, a BGRA image
    // covering the canvas, exactly as startVideoCompositionRequest draws those
    // pixels; what lies outside `clip` is left as it was. For callers that
    // keep the last frame and draw again only what changed. Fails like
    // startVideoCompositionRequest for an instruction it does not know.
    std::optional<CompositionError> drawRegion(const CompositionRequest& request, Image& target,
                                               const PixelRect& clip) const;

    // The compositor keeps nothing that depends on the render context.
    void renderContextChanged(const FramePool* /*newContext*/) const {}
};

}  // namespace zarvex
