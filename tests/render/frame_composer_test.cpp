// Drawing only what changed: every frame the composer makes is exactly the
// compositor's whole frame, while it draws little when little changes.

#include <gtest/gtest.h>

#include "render/frame_composer.h"
#include "render_fixtures.h"

namespace zarvex {
namespace {

using testing::kScreenTrack;
using testing::kWebcamTrack;

// A picture with a small square of another colour at (x, y), in I420.
VideoFrame screenWithMark(int x, int y) {
    VideoFrame picture = testing::patternFrame(640, 360);
    for (int row = y; row < y + 6; ++row) {
        for (int column = x; column < x + 6; ++column) {
            std::uint8_t* p = picture.row(0, row) + 4 * column;
            p[0] = 30, p[1] = 200, p[2] = 90;
        }
    }
    return testing::toI420(picture);
}

class FrameComposerTest : public ::testing::TestWithParam<PixelFormat> {
  protected:
    FrameComposerTest() {
        testing::InstructionSetup setup;
        setup.style.webcam.sizeFraction = 0.3;
        setup.canvas = {720, 480};
        setup.screenSize = {640, 360};
        setup.clicks = {{1.0, 0.25, 0.5}};
        setup.webcamTrack = true;
        composition_.renderSize = setup.canvas;
        composition_.instructions.push_back(
            std::make_shared<const StyleInstruction>(testing::makeInstruction(setup)));
    }

    SourceFrameSet sources(double seconds, const VideoFrame& screen, const VideoFrame& webcam) {
        SourceFrameSet set;
        set.compositionTime = MediaTime::fromSeconds(seconds, 6000);
        set.frames = {{kScreenTrack, screen}, {kWebcamTrack, webcam}};
        return set;
    }

    // Composes and checks the frame against the compositor's own whole one.
    VideoFrame composeExactly(const SourceFrameSet& set) {
        const CompositionResult made = composer_.compose(composition_, set, pool_);
        EXPECT_TRUE(made.ok());
        FramePool wholePool(GetParam(), 720, 480);
        const CompositionResult whole = composeFrame(composition_, set, wholePool);
        if (made.ok() && whole.ok()) {
            EXPECT_EQ(testing::maxDifference(made.frame(), whole.frame()), 0)
                << "at " << set.compositionTime.seconds();
        }
        return made.ok() ? made.frame() : VideoFrame();
    }

    VideoComposition composition_;
    FramePool pool_{GetParam(), 720, 480};
    FrameComposer composer_;
};

TEST_P(FrameComposerTest, DrawsAgainOnlyWhatChanged) {
    const VideoFrame face = testing::toI420(testing::patternFrame(320, 240));
    const VideoFrame otherFace = testing::toI420(testing::solidFrame(320, 240, testing::kRed));
    const VideoFrame screen = screenWithMark(100, 50);

    composeExactly(sources(0.2, screen, face));
    EXPECT_EQ(composer_.lastDrawnShare(), 1);

    // The mark moved: a few pixels around its old and new places.
    composeExactly(sources(0.3, screenWithMark(110, 60), face));
    EXPECT_GT(composer_.lastDrawnShare(), 0);
    EXPECT_LT(composer_.lastDrawnShare(), 0.01);

    // A new webcam picture: the bubble's face, 0.3 × 480 square.
    composeExactly(sources(0.4, screenWithMark(110, 60), otherFace));
    EXPECT_NEAR(composer_.lastDrawnShare(), 146.0 * 146 / (720 * 480), 0.01);

    // Nothing new: the same frame again, not even copied.
    const VideoFrame before = composeExactly(sources(0.5, screenWithMark(110, 60), otherFace));
    EXPECT_EQ(composer_.lastDrawnShare(), 0);
    EXPECT_EQ(composeExactly(sources(0.55, screenWithMark(110, 60), otherFace)).data[0],
              before.data[0]);

    // A whole new screen: everything.
    composeExactly(
        sources(0.6, testing::toI420(testing::solidFrame(640, 360, testing::kBlue)), otherFace));
    EXPECT_EQ(composer_.lastDrawnShare(), 1);
}

TEST_P(FrameComposerTest, RipplesAreDrawnWhileVisibleAndCleanedAway) {
    const VideoFrame face = testing::toI420(testing::patternFrame(320, 240));
    const VideoFrame screen = screenWithMark(300, 200);
    composeExactly(sources(0.9, screen, face));
    for (const double t : {1.0, 1.2, 1.45, 1.5}) {
        composeExactly(sources(t, screen, face));
        EXPECT_GT(composer_.lastDrawnShare(), 0) << t;  // the ring, or where it was
        EXPECT_LT(composer_.lastDrawnShare(), 0.05) << t;
    }
    composeExactly(sources(1.6, screen, face));
    EXPECT_EQ(composer_.lastDrawnShare(), 0);
}

TEST_P(FrameComposerTest, ANewInstructionIsDrawnWhole) {
    const VideoFrame face = testing::toI420(testing::patternFrame(320, 240));
    const VideoFrame screen = screenWithMark(10, 10);
    composeExactly(sources(0.2, screen, face));
    testing::InstructionSetup setup;
    setup.style.background = BackgroundStyle::solid("#336699");
    setup.canvas = {720, 480};
    setup.screenSize = {640, 360};
    setup.webcamTrack = true;
    composition_.instructions = {
        std::make_shared<const StyleInstruction>(testing::makeInstruction(setup))};
    composeExactly(sources(0.2, screen, face));
    EXPECT_EQ(composer_.lastDrawnShare(), 1);
}

INSTANTIATE_TEST_SUITE_P(Outputs, FrameComposerTest,
                         ::testing::Values(PixelFormat::bgra, PixelFormat::i420));

TEST(ChangedBox, CoversTheDifferingPixelsIncludingChromaBlocks) {
    const VideoFrame a = testing::patternFrame(64, 32);
    VideoFrame b = testing::patternFrame(64, 32);
    EXPECT_FALSE(changedBox(a, b));
    b.row(0, 5)[4 * 7] ^= 1;
    b.row(0, 9)[4 * 3 + 2] ^= 1;
    const auto box = changedBox(a, b);
    ASSERT_TRUE(box);
    EXPECT_EQ((std::array{box->x, box->y, box->width, box->height}), (std::array{3, 5, 5, 5}));

    const VideoFrame yuv = testing::toI420(a);
    VideoFrame other = testing::toI420(a);
    other.row(1, 4)[6] ^= 1;  // the chroma of pixels 12…13 × 8…9
    const auto chroma = changedBox(yuv, other);
    ASSERT_TRUE(chroma);
    EXPECT_EQ((std::array{chroma->x, chroma->y, chroma->width, chroma->height}),
              (std::array{12, 8, 2, 2}));
}

}  // namespace
}  // namespace zarvex
