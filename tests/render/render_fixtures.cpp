#include "render_fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "media/yuv.h"

namespace zarvex::testing {

VideoFrame solidFrame(int width, int height, Bgra color) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::memcpy(frame.row(0, y) + 4 * x, &color, 4);
        }
    }
    return frame;
}

VideoFrame patternFrame(int width, int height) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = frame.row(0, y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(40 + 160 * x / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(30 + 180 * y / std::max(1, height - 1));
            p[2] = static_cast<std::uint8_t>(200 - 120 * (x + y) / std::max(1, width + height - 2));
            p[3] = 255;
        }
    }
    return frame;
}

VideoFrame toI420(const VideoFrame& bgra) {
    VideoFrame i420 = VideoFrame::allocate(PixelFormat::i420, bgra.width, bgra.height);
    convertToI420(bgra, i420);
    return i420;
}

Bgra canvasPixel(const VideoFrame& frame, int x, int y) {
    const std::uint8_t* p = frame.row(0, frame.height - 1 - y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

bool near(Bgra a, Bgra b, int tolerance) {
    return std::abs(a.b - b.b) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.r - b.r) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

int maxDifference(const VideoFrame& a, const VideoFrame& b) {
    if (a.format != b.format || a.width != b.width || a.height != b.height) {
        ADD_FAILURE() << "frames of different sizes or formats";
        return 255;
    }
    int worst = 0;
    for (int plane = 0; plane < a.planeCount(); ++plane) {
        const int rows = plane == 0 ? a.height : (a.height + 1) / 2;
        const int bytes = a.format == PixelFormat::bgra ? 4 * a.width
                          : plane == 0                  ? a.width
                                                        : (a.width + 1) / 2;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < bytes; ++x) {
                worst =
                    std::max(worst, std::abs(int(a.row(plane, y)[x]) - int(b.row(plane, y)[x])));
            }
        }
    }
    return worst;
}

StyleSettings plainStyle(const std::string& backgroundHex) {
    StyleSettings style;
    style.background = BackgroundStyle::solid(backgroundHex);
    style.paddingFraction = 0;
    style.cornerRadius = 0;
    style.shadow.opacity = 0;
    return style;
}

StyleInstruction makeInstruction(const InstructionSetup& setup) {
    StyleInstruction::Parameters parameters;
    parameters.timeRange = {MediaTime::zero(), MediaTime{600, 60}};
    parameters.style = setup.style;
    parameters.screenTrackID = kScreenTrack;
    if (setup.webcamTrack) {
        parameters.webcamTrackID = kWebcamTrack;
    }
    parameters.canvas = setup.canvas;
    parameters.background = makeBackground(setup.style.background, setup.canvas);
    parameters.clicks = setup.clicks;
    parameters.screenSize = setup.screenSize;
    parameters.zoom = setup.zoom;
    return StyleInstruction(std::move(parameters));
}

VideoFrame compose(const VideoCompositionInstruction& instruction, double seconds,
                   const VideoFrame* screen, const VideoFrame* webcam, PixelFormat output) {
    const auto* style = dynamic_cast<const StyleInstruction*>(&instruction);
    const Size canvas = style ? style->canvas() : Size{2, 2};
    FramePool pool(output, int(canvas.width), int(canvas.height));
    std::vector<SourceFrame> sources;
    if (screen != nullptr) {
        sources.push_back({kScreenTrack, *screen});
    }
    if (webcam != nullptr) {
        sources.push_back({kWebcamTrack, *webcam});
    }
    CompositionRequest request;
    request.videoCompositionInstruction = &instruction;
    request.compositionTime = MediaTime::fromSeconds(seconds, 6000);
    request.sourceFrames = sources;
    request.renderContext = &pool;
    const CompositionResult result = StyleCompositor().startVideoCompositionRequest(request);
    if (!result.ok()) {
        ADD_FAILURE() << "composition failed: " << result.error().message;
        return {};
    }
    return result.frame();
}

}  // namespace zarvex::testing
