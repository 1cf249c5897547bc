#include "render/geometry.h"

#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "media/media_time.h"
#include "render/bubble.h"

namespace zarvex {
namespace {

TEST(Geometry, CanvasSizesRipplesPixelRectsTheBubbleAndTheScreenLayout) {
    const Size screen{1440, 900};
    EXPECT_EQ(canvasSize(AspectPreset::original, screen), (Size{1440, 900}));
    EXPECT_EQ(canvasSize(AspectPreset::wide16x9, screen), (Size{1600, 900}));
    EXPECT_EQ(canvasSize(AspectPreset::square, screen), (Size{1440, 1440}));
    EXPECT_EQ(canvasSize(AspectPreset::vertical9x16, screen), (Size{1440, 2560}));
    EXPECT_EQ(canvasSize(AspectPreset::portrait4x5, screen), (Size{1440, 1800}));

    EXPECT_EQ(canvasSize(AspectPreset::wide16x9, {1000, 700}), (Size{1244, 700}));
    EXPECT_EQ(canvasSize(AspectPreset::original, {1001, 563}), (Size{1000, 562}));
    EXPECT_EQ(canvasSize(AspectPreset::square, {600, 1001}), (Size{1000, 1000}));
    for (const AspectPreset aspect : {AspectPreset::original, AspectPreset::square,
                                      AspectPreset::wide16x9, AspectPreset::portrait4x5}) {
        EXPECT_EQ(canvasSize(aspect, {1, 1}), (Size{2, 2}));
        EXPECT_EQ(canvasSize(aspect, {0, 0}), (Size{2, 2}));
        EXPECT_EQ(canvasSize(aspect, {-5, 300}), (Size{2, 300}));
    }

    // Pixel rectangles: covering and intersection.
    EXPECT_EQ(PixelRect::covering({1.5, 2.2, 3, 0.5}), (PixelRect{1, 2, 4, 1}));
    EXPECT_EQ(PixelRect::covering({0, 0, 4, 2}), (PixelRect{0, 0, 4, 2}));
    EXPECT_TRUE(PixelRect::covering({0, 0, std::nan(""), 2}).isEmpty());
    EXPECT_TRUE(PixelRect::covering({0, 0, -1, 2}).isEmpty());
    EXPECT_TRUE(PixelRect::covering({0, 0, 1e300, 2}).width > 0);
    EXPECT_EQ((PixelRect{0, 0, 10, 10}).intersection({5, -5, 10, 10}), (PixelRect{5, 0, 5, 5}));
    EXPECT_TRUE((PixelRect{0, 0, 10, 10}).intersection({10, 0, 5, 5}).isEmpty());  // touching

    // Ripples: drawn from the click for 0.45 s, inclusive.
    const Rect area{100, 50, 800, 500};
    const RecordedClick click{2.0, 0.5, 0.5};
    EXPECT_FALSE(rippleAt(click, 1.99, area));
    EXPECT_FALSE(rippleAt(click, MediaTime{1476, 600}.seconds(), area));  // 2.46
    EXPECT_FALSE(rippleAt(click, 2.4501, area));

    const auto first = rippleAt(click, MediaTime{2, 1}.seconds(), area);
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(first->outerRadius, 6.0);  // max(6, 0.012 × 500)
    EXPECT_DOUBLE_EQ(first->opacity, 0.85);
    EXPECT_DOUBLE_EQ(first->innerRadius, 6.0 - 2.5);

    // 2.45 as the player and the export state it (1/60 and 1/600 steps), whose
    // doubles lie a hair beyond 0.45 s after the click.
    for (const MediaTime t : {MediaTime{147, 60}, MediaTime{1470, 600}}) {
        const auto last = rippleAt(click, t.seconds(), area);
        ASSERT_TRUE(last);
        EXPECT_NEAR(last->outerRadius, 6.0 + 500 * 0.035, 1e-9);
        EXPECT_NEAR(last->opacity, 0, 1e-9);
        EXPECT_NEAR(last->innerRadius, last->outerRadius * 0.7, 1e-9);
    }

    // It grows with the video height, and y = 0 is the top edge.
    const Rect tall{0, 100, 1600, 1000};
    const auto ring = rippleAt({1.0, 0.25, 0.0}, 1.225, tall);
    ASSERT_TRUE(ring);
    EXPECT_NEAR(ring->outerRadius, 12 + 1000 * 0.5 * 0.035, 1e-9);
    EXPECT_NEAR(ring->opacity, 0.425, 1e-9);
    EXPECT_DOUBLE_EQ(ring->center.x, 400);
    EXPECT_DOUBLE_EQ(ring->center.y, 1100);
    EXPECT_DOUBLE_EQ(rippleAt({1.0, 0.25, 1.0}, 1.0, tall)->center.y, 100);

    // The bubble and the screen's layout.
    WebcamSpec webcam;  // 0.24 of the height, margin 0.035
    const Size canvas{1920, 1080};
    const Rect bottomRight = bubbleRect(webcam, canvas);
    EXPECT_NEAR(bottomRight.width, 259.2, 1e-9);
    EXPECT_NEAR(bottomRight.height, 259.2, 1e-9);
    EXPECT_NEAR(bottomRight.x, 1623, 1e-9);
    EXPECT_NEAR(bottomRight.y, 37.8, 1e-9);
    using Corner = WebcamSpec::Corner;
    for (const auto& [corner, x, y] : {std::tuple{Corner::topLeft, 37.8, 1080 - 37.8 - 259.2},
                                       {Corner::topRight, 1623.0, 1080 - 37.8 - 259.2},
                                       {Corner::bottomLeft, 37.8, 37.8}}) {
        webcam.corner = corner;
        EXPECT_NEAR(bubbleRect(webcam, canvas).x, x, 1e-9);
        EXPECT_NEAR(bubbleRect(webcam, canvas).y, y, 1e-9);
    }
    // The size follows the height, the margin the shorter side.
    const Rect tallCanvas = bubbleRect(webcam, {1080, 1920});
    EXPECT_NEAR(tallCanvas.width, 0.24 * 1920, 1e-9);
    EXPECT_NEAR(tallCanvas.x, 37.8, 1e-9);

    // A custom centre needs both coordinates and is clamped inside the canvas.
    webcam = WebcamSpec{};
    const Rect corner = bubbleRect(webcam, {1000, 800});
    webcam.positionX = 0.5;
    EXPECT_EQ(bubbleRect(webcam, {1000, 800}), corner);
    webcam.positionY = 0.25;
    const Rect centred = bubbleRect(webcam, {1000, 800});
    EXPECT_NEAR(centred.midX(), 500, 1e-9);
    EXPECT_NEAR(centred.midY(), 200, 1e-9);

    webcam.positionX = 0;
    webcam.positionY = 1;
    for (const double size : {0.1, 0.3, 0.45}) {
        webcam.sizeFraction = size;
        const Rect flush = bubbleRect(webcam, {1000, 800});
        EXPECT_EQ(flush.x, 0);
        EXPECT_NEAR(flush.maxY(), 800, 1e-9);
    }
    // Larger than the canvas: the upper bound wins, so it hangs off the bottom-left.
    webcam.sizeFraction = 2;
    const Rect huge = bubbleRect(webcam, {1000, 800});
    EXPECT_EQ(huge.x, 1000 - 1600);
    EXPECT_EQ(huge.y, 800 - 1600);

    // The webcam picture shown is the middle square of its longer side.
    const auto box = [](const PixelBox& b) { return std::tuple{b.x, b.y, b.width, b.height}; };
    EXPECT_EQ(box(centerSquare(1280, 720)), std::tuple(280, 0, 720, 720));
    EXPECT_EQ(box(centerSquare(480, 640)), std::tuple(0, 80, 480, 480));

    // The screen fits centred inside the padding, its radius capped.
    StyleSettings style;  // padding 0.07, radius 24
    const auto layout = layoutScreen(style, {1920, 1080}, {1920, 1080});
    ASSERT_TRUE(layout);
    const double inset = 1080 * 0.07;
    EXPECT_NEAR(layout->contentRect.y, inset, 1e-9);
    EXPECT_NEAR(layout->screenRect.height, 1080 - 2 * inset, 1e-9);
    EXPECT_NEAR(layout->screenRect.midX(), 960, 1e-9);
    EXPECT_NEAR(layout->screenRect.midY(), 540, 1e-9);
    EXPECT_NEAR(layout->scale, (1080 - 2 * inset) / 1080, 1e-12);
    EXPECT_EQ(layout->cornerRadius, 24);
    // A tall screen on a wide canvas is limited by the height.
    EXPECT_NEAR(layoutScreen(style, {1920, 1080}, {500, 1000})->screenRect.width,
                (1080 - 2 * inset) / 2, 1e-9);

    // The corner radius is capped; nothing is placed without room.
    style.paddingFraction = 0;
    style.cornerRadius = 5000;
    EXPECT_EQ(layoutScreen(style, {400, 200}, {400, 200})->cornerRadius, 100);
    style.cornerRadius = -3;
    EXPECT_EQ(layoutScreen(style, {400, 200}, {400, 200})->cornerRadius, 0);

    EXPECT_FALSE(layoutScreen(style, {400, 200}, {0, 100}));
    style.paddingFraction = 0.5;  // no content area left
    EXPECT_FALSE(layoutScreen(style, {400, 200}, {400, 200}));
    style.paddingFraction = std::nan("");
    EXPECT_FALSE(layoutScreen(style, {400, 200}, {400, 200}));
}

}  // namespace
}  // namespace zarvex
