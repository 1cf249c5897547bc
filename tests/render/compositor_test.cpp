#include "render/style_compositor.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "media/pixel_ops.h"
#include "render/frame_composer.h"
#include "render_fixtures.h"

namespace zarvex {
namespace {

using namespace testing;

// Pixels of a frame that differ from `color`.
int countOther(const VideoFrame& frame, Bgra color) {
    int count = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            count += canvasPixel(frame, x, y) == color ? 0 : 1;
        }
    }
    return count;
}

// Screen 320×180 on a 320×180 canvas with padding 0.1: placed at (32, 18), 256×144.
StyleSettings paddedStyle() {
    StyleSettings style = plainStyle();
    style.paddingFraction = 0.1;
    return style;
}

VideoFrame composeStyle(const StyleSettings& style, const VideoFrame& screen) {
    return compose(makeInstruction({.style = style}), 0, &screen);
}

TEST(StyleCompositor, TheScreenFillsTheCanvasOrShowsTheBackgroundAtCornersOrWhenMissing) {
    StyleSettings style;  // gradient, shadow and corners on
    style.webcam.sizeFraction = 0.3;
    const StyleInstruction instruction =
        makeInstruction({.style = style, .clicks = {{1.0, 0.5, 0.5}}, .webcamTrack = true});
    const VideoFrame webcam = solidFrame(64, 48, kGreen);
    const VideoFrame frame = compose(instruction, 1.1, nullptr, &webcam);
    EXPECT_EQ(maxDifference(frame, makeBackground(style.background, {320, 180}).frame()), 0);

    // Rounded corners show the background.
    style = paddedStyle();
    style.cornerRadius = 20;
    const VideoFrame screen = solidFrame(320, 180, kRed);
    const VideoFrame rounded = composeStyle(style, screen);
    EXPECT_EQ(canvasPixel(rounded, 33, 19), kBlue);    // corner pixel: outside the arc
    EXPECT_EQ(canvasPixel(rounded, 287, 161), kBlue);  // the opposite corner
    EXPECT_EQ(canvasPixel(rounded, 160, 18), kRed);    // just inside the bottom edge
    EXPECT_EQ(canvasPixel(rounded, 32, 90), kRed);     // just inside the left edge
    EXPECT_EQ(canvasPixel(rounded, 287, 90), kRed);
    EXPECT_EQ(canvasPixel(rounded, 31, 90), kBlue);  // just outside
    EXPECT_EQ(canvasPixel(rounded, 160, 17), kBlue);
    // Along the arc the edge is anti-aliased: a blend of both colours.
    const Bgra arc = canvasPixel(rounded, 37, 24);
    EXPECT_GT(arc.r, 0);
    EXPECT_GT(arc.b, 0);

    // A radius beyond half the shorter side makes full semicircular ends.
    style.cornerRadius = 1000;
    const VideoFrame pill = composeStyle(style, screen);
    EXPECT_EQ(canvasPixel(pill, 34, 90), kRed);
    EXPECT_EQ(canvasPixel(pill, 42, 28), kBlue);
    EXPECT_EQ(canvasPixel(pill, 160, 18), kRed);

    // Without padding a screen of the canvas ratio fills it.
    const VideoFrame pattern = patternFrame(320, 180);
    EXPECT_EQ(maxDifference(composeStyle(plainStyle(), pattern), pattern), 0);
    // A larger screen is scaled down to exactly the canvas: no background shows.
    const StyleInstruction scaled =
        makeInstruction({.style = plainStyle(), .screenSize = {640, 360}});
    const VideoFrame large = patternFrame(640, 360);
    EXPECT_LE(maxDifference(compose(scaled, 0, &large), pattern), 2);

    // A screen frame of an unexpected size is still placed.
    const StyleInstruction oddSized =
        makeInstruction({.style = paddedStyle(), .screenSize = {1920, 1080}});
    const VideoFrame small = solidFrame(100, 100, kRed);
    const VideoFrame placed = compose(oddSized, 0, &small);
    // A square screen in the 284×144 content area: 144×144, centred.
    EXPECT_EQ(canvasPixel(placed, 87, 90), kBlue);
    EXPECT_EQ(canvasPixel(placed, 88, 90), kRed);
    EXPECT_EQ(canvasPixel(placed, 231, 90), kRed);
    EXPECT_EQ(canvasPixel(placed, 232, 90), kBlue);
}

// A click at t = 2 at the middle of the top edge of the placed screen (256×144
// at (32, 18)): the ring centre is (160, 162).
VideoFrame rippleAt(double seconds, std::optional<bool> enabled = std::nullopt,
                    std::vector<RecordedClick> clicks = {{2.0, 0.5, 0.0}}) {
    StyleSettings style = paddedStyle();
    style.clickRipples = enabled;
    const VideoFrame screen = solidFrame(320, 180, kBlack);
    return compose(makeInstruction({.style = style, .clicks = clicks}), seconds, &screen);
}

TEST(StyleCompositor, ShadowAppearsAboveOneHundredthOpacityRipplesGrowAndFade) {
    StyleSettings style = plainStyle("#FFFFFF");
    style.paddingFraction = 0.2;  // screen at (64, 36), 192×108
    style.shadow = {0.011, 44, 14};
    const VideoFrame screen = solidFrame(320, 180, kBlack);
    const Bgra faint = canvasPixel(composeStyle(style, screen), 160, 29);
    EXPECT_LT(faint.g, 255);
    EXPECT_GE(faint.g, 250);

    style.shadow.opacity = 0.01;
    EXPECT_EQ(countOther(composeStyle(style, screen), kWhite), 192 * 108);

    // Blurred beyond the shape, and moved down: darker below than above.
    style.shadow.opacity = 1;
    const VideoFrame strong = composeStyle(style, screen);
    EXPECT_LT(canvasPixel(strong, 160, 12).g, 200);
    EXPECT_LT(canvasPixel(strong, 160, 26).g, canvasPixel(strong, 160, 154).g);
    EXPECT_LT(canvasPixel(strong, 160, 154).g, 255);

    // Ripples grow and fade from the click, centred on the top edge.
    // At the click: r = max(6, 0.012 × 144) = 6, ring 2.5 wide, opacity 0.85.
    const VideoFrame start = rippleAt(2.0);
    EXPECT_TRUE(near(canvasPixel(start, 160, 157), Bgra{217, 217, 217, 255}, 3));  // on the ring
    EXPECT_EQ(canvasPixel(start, 160, 161), kBlack);  // inside the inner disc
    EXPECT_EQ(canvasPixel(start, 160, 154), kBlack);  // beyond the ring

    // Half-way: r = 6 + 144 × 0.5 × 0.035 = 8.52, inner 5.96, opacity 0.425.
    const VideoFrame half = rippleAt(2.225);
    EXPECT_TRUE(near(canvasPixel(half, 160, 154), Bgra{108, 108, 108, 255}, 3));
    EXPECT_EQ(canvasPixel(half, 160, 151), kBlack);  // 10.5 away: outside
    EXPECT_EQ(canvasPixel(half, 160, 161), kBlack);
    // Symmetric about the top edge, over the background above it.
    EXPECT_TRUE(near(canvasPixel(half, 160, 169), Bgra{255, 108, 108, 255}, 3));
    EXPECT_TRUE(near(canvasPixel(half, 167, 162), canvasPixel(half, 152, 162), 1));

    // None outside its time or when switched off.
    const VideoFrame plain = rippleAt(0, std::nullopt, {});
    EXPECT_EQ(maxDifference(rippleAt(1.99), plain), 0);
    EXPECT_EQ(maxDifference(rippleAt(2.46), plain), 0);
    EXPECT_EQ(maxDifference(rippleAt(2.2, false), plain), 0);
    EXPECT_GT(maxDifference(rippleAt(2.2, true), plain), 100);
    EXPECT_GT(maxDifference(rippleAt(2.2), plain), 100);  // absent counts as on
}

class Bubble : public ::testing::Test {
  protected:
    // Bubble 0.45 × 180 = 81 px at the bottom right: (232.7, 6.3) to (313.7, 87.3).
    VideoFrame render(const VideoFrame* webcam, WebcamSpec::Shape shape, bool hidden = false,
                      const VideoFrame& screen = solidFrame(320, 180, kBlack)) {
        StyleSettings style = plainStyle();
        style.webcam.sizeFraction = 0.45;
        style.webcam.shape = shape;
        style.webcam.hidden = hidden;
        return compose(makeInstruction({.style = style, .webcamTrack = true}), 0, &screen, webcam);
    }

    // Red, green and blue thirds: the centre square is exactly the green part.
    VideoFrame webcam_ = [] {
        VideoFrame frame = solidFrame(1280, 720, kGreen);
        for (int y = 0; y < 720; ++y) {
            for (int x = 0; x < 280; ++x) {
                std::memcpy(frame.row(0, y) + 4 * x, &kRed, 4);
                std::memcpy(frame.row(0, y) + 4 * (1000 + x), &kBlue, 4);
            }
        }
        return frame;
    }();
};

TEST_F(Bubble, ShowsTheWebcamsCentreSquareInItsShapeWithItsShadowOnlyWhenThereIsOne) {
    const VideoFrame frame = render(&webcam_, WebcamSpec::Shape::roundedRect);
    for (const auto& [x, y] : {std::pair{234, 47}, {273, 47}, {312, 47}, {273, 8}, {273, 86}}) {
        EXPECT_EQ(canvasPixel(frame, x, y), kGreen) << x << "," << y;
    }
    EXPECT_EQ(canvasPixel(frame, 231, 47), kBlack);  // just left of it: the screen

    const VideoFrame circle = render(&webcam_, WebcamSpec::Shape::circle);
    EXPECT_EQ(canvasPixel(circle, 234, 47), kGreen);
    EXPECT_NE(canvasPixel(circle, 235, 9).g, 255);  // the square's corner is outside the circle
    // Under the bubble the screen is darkened by the shadow, more below than above.
    const VideoFrame shaded = render(&webcam_, WebcamSpec::Shape::circle, false,
                                     solidFrame(320, 180, Bgra{200, 200, 200, 255}));
    EXPECT_LT(canvasPixel(shaded, 273, 4).g, 180);
    EXPECT_LT(canvasPixel(shaded, 273, 4).g, canvasPixel(shaded, 273, 90).g);

    // A missing frame, a hidden bubble or no webcam track: no bubble.
    EXPECT_EQ(countOther(render(nullptr, WebcamSpec::Shape::circle), kBlack), 0);
    EXPECT_EQ(countOther(render(&webcam_, WebcamSpec::Shape::circle, true), kBlack), 0);
    // No webcam track in the instruction: a webcam frame in the request is ignored.
    const VideoFrame screen = solidFrame(320, 180, kBlack);
    EXPECT_EQ(
        countOther(compose(makeInstruction({.style = plainStyle()}), 0, &screen, &webcam_), kBlack),
        0);
}

VideoFrame uniformI420(int y, int u, int v, ColorTags tags) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::i420, 64, 36);
    std::memset(frame.data[0], y, std::size_t(frame.stride[0]) * 36);
    std::memset(frame.data[1], u, std::size_t(frame.stride[1]) * 18);
    std::memset(frame.data[2], v, std::size_t(frame.stride[2]) * 18);
    frame.color = tags;
    return frame;
}

class OtherInstruction : public VideoCompositionInstruction {
  public:
    const MediaTimeRange& timeRange() const override { return range_; }
    bool enablePostProcessing() const override { return false; }
    bool containsTweening() const override { return false; }
    const std::optional<std::vector<TrackID>>& requiredSourceTrackIDs() const override {
        return tracks_;
    }
    TrackID passthroughTrackID() const override { return 1; }

  private:
    MediaTimeRange range_;
    std::optional<std::vector<TrackID>> tracks_;
};

TEST(StyleCompositor, ReportsAWrongInstructionOrOutputFrameDegradesAndFollowsColourTags) {
    const StyleCompositor compositor;
    FramePool pool(PixelFormat::bgra, 320, 180);
    const OtherInstruction other;
    CompositionRequest request;
    request.renderContext = &pool;
    request.videoCompositionInstruction = &other;
    CompositionResult result = compositor.startVideoCompositionRequest(request);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, 1);
    EXPECT_EQ(result.error().message, "Unexpected composition instruction.");
    EXPECT_EQ(result.error().domain(), "Zarvex");
    request.videoCompositionInstruction = nullptr;
    EXPECT_EQ(compositor.startVideoCompositionRequest(request).error().code, 1);

    const StyleInstruction instruction = makeInstruction({.style = plainStyle()});
    request.videoCompositionInstruction = &instruction;
    request.renderContext = nullptr;
    result = compositor.startVideoCompositionRequest(request);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().code, 2);
    EXPECT_EQ(result.error().message, "Could not allocate output frame.");
    FramePool wrongSize(PixelFormat::bgra, 160, 90);
    request.renderContext = &wrongSize;
    EXPECT_EQ(compositor.startVideoCompositionRequest(request).error().code, 2);

    // Nonsense style values degrade instead of failing.
    const double nan = std::nan("");
    std::vector<StyleSettings> styles(13);
    styles[0].paddingFraction = nan;
    styles[1].paddingFraction = 0.6;
    styles[2].paddingFraction = -0.5;
    styles[3].cornerRadius = nan;
    styles[4].cornerRadius = 1e12;
    styles[5].shadow = {nan, nan, nan};
    styles[6].shadow = {7, 1e9, -1e9};
    styles[7].shadow = {0.5, -40, 1e300};
    styles[8].webcam.sizeFraction = nan;
    styles[9].webcam.sizeFraction = 1e9;
    styles[10].webcam.marginFraction = -3;
    styles[11].webcam.positionX = nan;
    styles[11].webcam.positionY = 1e300;
    styles[12].background = BackgroundStyle::gradient({{"zz", ""}, 1e308});
    const VideoFrame screen = patternFrame(320, 180);
    const VideoFrame webcam = patternFrame(64, 48);
    for (std::size_t i = 0; i < styles.size(); ++i) {
        const StyleInstruction instruction = makeInstruction(
            {.style = styles[i], .clicks = {{0, nan, 0.5}, {0, 0.5, 1e300}}, .webcamTrack = true});
        EXPECT_EQ(compose(instruction, 0.1, &screen, &webcam).width, 320) << "edit " << i;
    }

    // I420 sources follow their colour tags.
    const StyleInstruction tagged =
        makeInstruction({.style = plainStyle(), .canvas = {64, 36}, .screenSize = {64, 36}});
    const ColorTags bt709{YuvMatrix::bt709, YuvRange::limited};
    struct Case {
        int y, u, v;
        ColorTags tags;
        Bgra color;
    };
    // The same samples mean other colours under other tags.
    for (const Case& c : {Case{63, 102, 240, bt709, kRed},
                          {173, 42, 26, bt709, kGreen},
                          {32, 240, 118, bt709, kBlue},
                          {235, 128, 128, bt709, kWhite},
                          {81, 90, 240, {YuvMatrix::bt601, YuvRange::limited}, kRed},
                          {76, 85, 255, {YuvMatrix::bt601, YuvRange::full}, kRed},
                          {54, 99, 255, {YuvMatrix::bt709, YuvRange::full}, kRed}}) {
        const VideoFrame screen = uniformI420(c.y, c.u, c.v, c.tags);
        EXPECT_TRUE(near(canvasPixel(compose(tagged, 0, &screen), 32, 18), c.color, 1))
            << c.y << " " << c.u << " " << c.v;
    }
}

// Everything on: gradient, padding, corners, shadow, two ripples, bubble.
InstructionSetup busySetup() {
    return {.canvas = {640, 360},
            .screenSize = {1280, 720},
            .clicks = {{1.0, 0.3, 0.4}, {1.1, 0.6, 0.7}},
            .webcamTrack = true};
}

TEST(StyleCompositor, BusyFramesAgreeAcrossPixelFormatsThreadsAndKernelsAndChangesAreBoxed) {
    const StyleInstruction instruction = makeInstruction(busySetup());
    const VideoFrame screen = patternFrame(1280, 720);
    const VideoFrame webcam = patternFrame(640, 480);
    const VideoFrame i420Screen = toI420(screen);
    const VideoFrame i420Webcam = toI420(webcam);
    const VideoFrame fromBgra = compose(instruction, 1.2, &screen, &webcam);
    EXPECT_LE(maxDifference(fromBgra, compose(instruction, 1.2, &i420Screen, &i420Webcam)), 4);
    // I420 output is exactly the BGRA frame converted.
    const VideoFrame i420 = compose(instruction, 1.2, &screen, &webcam, PixelFormat::i420);
    ASSERT_EQ(i420.format, PixelFormat::i420);
    EXPECT_EQ(maxDifference(i420, toI420(fromBgra)), 0);

    // Many threads at once draw the same frame.
    const VideoFrame expected = compose(instruction, 1.2, &i420Screen, &webcam);
    std::vector<int> worst(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < worst.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 8; ++i) {
                worst[t] = std::max(
                    worst[t],
                    maxDifference(compose(instruction, 1.2, &i420Screen, &webcam), expected));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(worst, std::vector<int>(4, 0));

    // Wide and plain kernels agree bit for bit; widths that are no multiple
    // of 16 leave tails for the plain code.
    InstructionSetup setup = busySetup();
    setup.canvas = {646, 362};
    setup.screenSize = {1286, 722};
    const StyleInstruction odd = makeInstruction(setup);
    const VideoFrame bgraScreen = patternFrame(1286, 722);
    const VideoFrame oddScreen = toI420(bgraScreen);
    const VideoFrame oddWebcam = toI420(patternFrame(646, 486));
    VideoFrame results[2][2];
    for (const bool wide : {true, false}) {
        pixel::setWideKernelsAllowed(wide);
        results[wide][0] = compose(odd, 1.2, &oddScreen, &oddWebcam, PixelFormat::i420);
        results[wide][1] = compose(odd, 1.2, &bgraScreen, &oddWebcam);
    }
    pixel::setWideKernelsAllowed(true);
    EXPECT_EQ(maxDifference(results[0][0], results[1][0]), 0);
    EXPECT_EQ(maxDifference(results[0][1], results[1][1]), 0);

    // The changed box covers the differing pixels, chroma blocks included.
    const VideoFrame a = patternFrame(64, 32);
    VideoFrame b = patternFrame(64, 32);
    EXPECT_FALSE(changedBox(a, b));
    b.row(0, 5)[4 * 7] ^= 1;
    b.row(0, 9)[4 * 3 + 2] ^= 1;
    const auto box = changedBox(a, b);
    ASSERT_TRUE(box);
    EXPECT_EQ((std::array{box->x, box->y, box->width, box->height}), (std::array{3, 5, 5, 5}));

    const VideoFrame yuv = toI420(a);
    VideoFrame other = toI420(a);
    other.row(1, 4)[6] ^= 1;  // the chroma of pixels 12…13 × 8…9
    const auto chroma = changedBox(yuv, other);
    ASSERT_TRUE(chroma);
    EXPECT_EQ((std::array{chroma->x, chroma->y, chroma->width, chroma->height}),
              (std::array{12, 8, 2, 2}));
}

// Drawing only what changed: every frame the composer makes is exactly the
// compositor's whole frame, while it draws little when little changes.

// A picture with a small square of another colour at (x, y), in I420.
VideoFrame screenWithMark(int x, int y) {
    VideoFrame picture = patternFrame(640, 360);
    for (int row = y; row < y + 6; ++row) {
        for (int column = x; column < x + 6; ++column) {
            std::uint8_t* p = picture.row(0, row) + 4 * column;
            p[0] = 30, p[1] = 200, p[2] = 90;
        }
    }
    return toI420(picture);
}

class FrameComposerTest : public ::testing::TestWithParam<PixelFormat> {
  protected:
    FrameComposerTest() {
        InstructionSetup setup;
        setup.style.webcam.sizeFraction = 0.3;
        setup.canvas = {720, 480};
        setup.screenSize = {640, 360};
        setup.clicks = {{1.0, 0.25, 0.5}};
        setup.webcamTrack = true;
        composition_.renderSize = setup.canvas;
        composition_.instructions.push_back(
            std::make_shared<const StyleInstruction>(makeInstruction(setup)));
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
            EXPECT_EQ(maxDifference(made.frame(), whole.frame()), 0)
                << "at " << set.compositionTime.seconds();
        }
        return made.ok() ? made.frame() : VideoFrame();
    }

    VideoComposition composition_;
    FramePool pool_{GetParam(), 720, 480};
    FrameComposer composer_;
};

TEST_P(FrameComposerTest, DrawsAgainOnlyWhatChangedRipplesIncluded) {
    const VideoFrame face = toI420(patternFrame(320, 240));
    const VideoFrame otherFace = toI420(solidFrame(320, 240, kRed));

    composeExactly(sources(0.2, screenWithMark(100, 50), face));
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
    composeExactly(sources(0.6, toI420(solidFrame(640, 360, kBlue)), otherFace));
    EXPECT_EQ(composer_.lastDrawnShare(), 1);
    const VideoFrame screen = screenWithMark(300, 200);
    composeExactly(sources(0.9, screen, face));

    // The ripple of the click at 1 s: drawn while visible, then cleaned away.
    for (const double t : {1.0, 1.2, 1.45, 1.5}) {
        composeExactly(sources(t, screen, face));
        EXPECT_GT(composer_.lastDrawnShare(), 0) << t;  // the ring, or where it was
        EXPECT_LT(composer_.lastDrawnShare(), 0.05) << t;
    }
    composeExactly(sources(1.6, screen, face));
    EXPECT_EQ(composer_.lastDrawnShare(), 0);

    // A new instruction is drawn whole.
    InstructionSetup setup;
    setup.style.background = BackgroundStyle::solid("#336699");
    setup.canvas = {720, 480};
    setup.screenSize = {640, 360};
    setup.webcamTrack = true;
    composition_.instructions = {std::make_shared<const StyleInstruction>(makeInstruction(setup))};
    composeExactly(sources(1.6, screen, face));
    EXPECT_EQ(composer_.lastDrawnShare(), 1);
}

INSTANTIATE_TEST_SUITE_P(Outputs, FrameComposerTest,
                         ::testing::Values(PixelFormat::bgra, PixelFormat::i420));

}  // namespace
}  // namespace zarvex
