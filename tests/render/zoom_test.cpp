// Zoom on clicks: segments made from clicks, the stored value read and
// mended, the easing, and the magnified picture as the compositor and the
// frame composer draw it.

#include <gtest/gtest.h>

#include "model/project.h"
#include "render/frame_composer.h"
#include "render_fixtures.h"

namespace zarvex {
namespace {

using testing::kScreenTrack;

TEST(Zoom, SegmentsFromClicksMendedWhenReadEasedPannedAndScaledLikeTheWholePicture) {
    const std::vector<RecordedClick> clicks{
        {1.0, 0.2, 0.3},  {2.5, 0.6, 0.7}, {2.6, 0.6, 0.7},  // one segment panning once
        {6.9, 0.5, 0.5},                                     // ends 8.4 …
        {9.95, 0.9, 0.9},  // … this one, lengthened to 1 s, starts 9.0: merged
        {12, 0.5, 0.5}};   // after the end
    const std::vector<ZoomSegment> expected{
        {0.6, 4.1, 2.0, 0.2, 0.3, {{1.9, 0.6, 0.7}}, true},
        {6.5, 10, 2.0, 0.5, 0.5, {{9.0, 0.9, 0.9}}, true},
    };
    std::vector<ZoomSegment> made = segmentsFromClicks(clicks, 10);
    const auto micro = [](double& t) { t = std::round(t * 1e6) / 1e6; };
    for (ZoomSegment& segment : made) {
        micro(segment.start), micro(segment.end);
        for (ZoomPan& pan : segment.pans) {
            micro(pan.t);
        }
    }
    EXPECT_EQ(made, expected);
    // The recording's start clamps; a recording under 1 s gets none.
    EXPECT_EQ(segmentsFromClicks({{0.1, 0.5, 0.5}}, 1.2),
              (std::vector<ZoomSegment>{{0, 1.2, 2.0, 0.5, 0.5, {}, true}}));
    EXPECT_TRUE(segmentsFromClicks({{0.1, 0.5, 0.5}}, 0.8).empty());

    // Decoding mends what it can and round-trips.
    const Json json = parseJson(R"({"auto": false, "segments": [
        {"start": 5, "end": 4, "scale": 9, "x": -1, "y": 2},
        {"start": 0.5, "end": 2, "scale": 1.5, "x": 0.3, "y": 0.4,
         "pans": [{"t": 9, "x": 0.1, "y": 0.1}, {"t": 1, "x": "a", "y": 0}]},
        {"start": 1.5, "end": 3, "x": 0.7, "y": 0.4},
        {"start": "x", "end": 1}, 7, {"start": 6, "end": 6.2, "auto": true}]})");
    const std::optional<ZoomSettings> zoom = decodeZoom(json);
    ASSERT_TRUE(zoom && zoom->segments);
    const std::vector<ZoomSegment> mended{
        {0.5, 3, 1.5, 0.3, 0.4, {{1.5, 0.7, 0.4}, {3, 0.1, 0.1}}, false},
        {4, 5, 3.0, 0, 1, {}, false},
        {6, 7, 2.0, 0.5, 0.5, {}, true},
    };
    EXPECT_EQ(*zoom->segments, mended);
    EXPECT_FALSE(zoom->autoZoom);
    EXPECT_EQ(decodeZoom(toJson(*zoom)), zoom);

    // Against the recording's length: cut, lengthened back to 1 s, or dropped.
    const std::vector<ZoomSegment> cut = mendedSegments(mended, 4.5);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ((std::pair{cut[1].start, cut[1].end}), (std::pair{3.5, 4.5}));

    // In a project file: a malformed value is no zoom, the rest loads.
    ProjectMeta meta;
    meta.zoom = ZoomSettings{true, std::nullopt};
    Json project = parseJson(encodeProjectFile(meta));
    EXPECT_EQ(project["zoom"], parseJson(R"({"auto": true})"));
    EXPECT_EQ(decodeProjectFile(project.dump()), meta);
    project["zoom"] = "yes";
    EXPECT_EQ(decodeProjectFile(project.dump()).zoom, std::nullopt);
    project.erase("zoom");
    EXPECT_EQ(encodeProjectFile(decodeProjectFile(project.dump())).find("zoom"), std::string::npos);

    // The view eases in, pans and eases out with the centre clamped.
    for (const auto& [t, eased] :
         {std::pair{0.0, 0.0}, {0.25, 0.15625}, {0.5, 0.5}, {1.0, 1.0}, {2.0, 1.0}}) {
        EXPECT_EQ(zoomEasing(t), eased) << t;
    }

    const std::vector<ZoomSegment> segments{{1, 3, 2.5, 0.5, 0.5, {{2, 0.9, 0.5}}, false}};
    EXPECT_EQ(zoomAt(segments, 0.99), ZoomView{});
    EXPECT_EQ(zoomAt(segments, 1).scale, 1);
    EXPECT_DOUBLE_EQ(zoomAt(segments, 1.3).scale, 1.75);  // halfway into the 0.6 s ease
    EXPECT_EQ(zoomAt(segments, 2).scale, 2.5);
    EXPECT_EQ(zoomAt(segments, 2).x, 0.5);
    EXPECT_DOUBLE_EQ(zoomAt(segments, 2.3).x, 0.7);  // halfway through the pan
    // Zooming out, the centre keeps the magnified picture inside the recording.
    const ZoomView out = zoomAt(segments, 2.7);
    EXPECT_DOUBLE_EQ(out.scale, 1 + 1.5 * zoomEasing(0.5));
    EXPECT_DOUBLE_EQ(out.x, 1 - 0.5 / out.scale);
    EXPECT_EQ(zoomAt(segments, 3), ZoomView{});

    // A whole window scales like the whole picture, up or down, from either format.
    const VideoFrame bgra = testing::patternFrame(640, 360);
    for (const VideoFrame& source : {bgra, testing::toI420(bgra)}) {
        for (const auto& [width, height] : {std::pair{300, 170}, std::pair{1000, 560}}) {
            VideoFrame whole = VideoFrame::allocate(PixelFormat::bgra, width, height);
            VideoFrame window = VideoFrame::allocate(PixelFormat::bgra, width, height);
            ScaleScratch scratch;
            const PixelBox all{0, 0, width, height};
            scalePicture(source, {0, 0, 640, 360}, width, height, all, whole.data[0],
                         whole.stride[0], scratch);
            scaleWindow(source, {0, 0, 640, 360}, width, height, all, window.data[0],
                        window.stride[0], scratch);
            EXPECT_EQ(testing::maxDifference(whole, window), 0) << width;
        }
    }
}

// A dark 640 × 360 screen with a red 8 × 8 square at (40, 30) from the
// top-left, clicked at t = 1: the segment opens at 0.6 s and is at 2× from
// 1.2 s to 1.9 s. The player draws BGRA frames, the export I420 ones, each
// with a composer of its own that draws only what changed.
class ZoomPicture : public ::testing::Test {
  protected:
    ZoomPicture() {
        testing::InstructionSetup setup;
        setup.style = testing::plainStyle();
        setup.canvas = setup.screenSize = {640, 360};
        setup.clicks = {{1.0, 44.0 / 640, 34.0 / 360}};
        setup.zoom = segmentsFromClicks(setup.clicks, 10);
        composition_.renderSize = setup.canvas;
        composition_.instructions.push_back(
            std::make_shared<const StyleInstruction>(testing::makeInstruction(setup)));
    }

    // The screen, optionally with one more pixel lit at (100, 100).
    static VideoFrame screen(bool lit = false) {
        VideoFrame frame = testing::solidFrame(640, 360, testing::kBlack);
        for (int y = 30; y < 38; ++y) {
            for (int x = 40; x < 48; ++x) {
                std::memcpy(frame.row(0, y) + 4 * x, &testing::kRed, 4);
            }
        }
        frame.row(0, 100)[4 * 100 + 1] = lit ? 255 : 0;
        return frame;
    }

    // The red square's box on a BGRA frame: x, y from the top, width, height.
    static std::array<int, 4> redBox(const VideoFrame& frame) {
        int x0 = frame.width, y0 = frame.height, x1 = -1, y1 = -1;
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const std::uint8_t* p = frame.row(0, y) + 4 * x;
                if (p[2] > 127 && p[1] < 64) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
            }
        }
        return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    }

    // The player's frame at `seconds`, after checking it against the
    // compositor's whole frame and the export's against it (the whole I420
    // frame is the whole BGRA one converted).
    VideoFrame frameAt(double seconds) {
        SourceFrameSet set;
        set.compositionTime = MediaTime::fromSeconds(seconds, 6000);
        set.frames = {{kScreenTrack, screen_}};
        const CompositionResult shown = player_.compose(composition_, set, playerPool_);
        const CompositionResult exported = exporter_.compose(composition_, set, exportPool_);
        FramePool wholeBgra(PixelFormat::bgra, 640, 360);
        const CompositionResult whole = composeFrame(composition_, set, wholeBgra);
        if (!shown.ok() || !exported.ok() || !whole.ok()) {
            ADD_FAILURE() << "no frame at " << seconds;
            return {};
        }
        EXPECT_EQ(testing::maxDifference(shown.frame(), whole.frame()), 0) << seconds;
        EXPECT_FALSE(changedBox(exported.frame(), testing::toI420(shown.frame()))) << seconds;
        return shown.frame();
    }

    VideoFrame screen_ = screen();
    VideoComposition composition_;
    FramePool playerPool_{PixelFormat::bgra, 640, 360};
    FramePool exportPool_{PixelFormat::i420, 640, 360};
    FrameComposer player_;
    FrameComposer exporter_;
};

TEST_F(ZoomPicture, TheSquareGrowsAroundTheClampedCentreAndPlayerAndExportAgree) {
    EXPECT_EQ(redBox(frameAt(0.3)), (std::array{40, 30, 8, 8}));  // before the segment
    // The ripple at 1.2 s moves and grows with the picture: its centre at
    // (88, 68) from the top, a ring from about 16 to 23 px out.
    EXPECT_GT(testing::canvasPixel(frameAt(1.2), 88 + 20, 360 - 68).g, 60);
    // At the middle, 2×: the click's place (0.069, 0.094) clamps to (0.25,
    // 0.25), so the window starts at the top-left corner and the square
    // doubles away from it.
    const std::array box = redBox(frameAt(1.55));
    for (std::size_t i = 0; i < box.size(); ++i) {
        EXPECT_NEAR(box[i], (std::array{80, 60, 16, 16})[i], 1) << i;
    }
    frameAt(1.6);
    EXPECT_EQ(player_.lastDrawnShare(), 0);  // same picture, same view
    // Steady: a changed source pixel is drawn again where the magnification
    // puts it, a few pixels around a 2 × 2 box.
    screen_ = screen(true);
    frameAt(1.65);
    EXPECT_GT(player_.lastDrawnShare(), 0);
    EXPECT_LT(player_.lastDrawnShare(), 0.001);
    frameAt(2.2);                                                 // zooming out
    EXPECT_EQ(redBox(frameAt(2.6)), (std::array{40, 30, 8, 8}));  // after it
}

}  // namespace
}  // namespace zarvex
