#include <cmath>
#include <numeric>

#include <gtest/gtest.h>

#include "media/yuv.h"
#include "media_fixtures.h"
#include "render/background.h"
#include "render/layers.h"
#include "render/scaler.h"
#include "render/shapes.h"
#include "render_fixtures.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::kBlue;
using testing::kRed;

void expectNear(Bgra actual, Bgra expected, int tolerance, const char* where) {
    EXPECT_TRUE(testing::near(actual, expected, tolerance))
        << where << ": " << int(actual.b) << "," << int(actual.g) << "," << int(actual.r) << ","
        << int(actual.a);
}

TEST(Backgrounds, GradientsSolidColoursAndImagesOrGreyForAnUndecodableOne) {
    const std::vector<std::string> colors{"#FF0000", "#0000FF"};
    const Image flat = gradientImage(colors, 0, {200, 100});
    ASSERT_EQ(flat.extent(), (PixelRect{0, 0, 200, 100}));
    for (const int y : {0, 99}) {
        expectNear(flat.pixelAt(0, y), kRed, 1, "angle 0, left");
        expectNear(flat.pixelAt(199, y), kBlue, 1, "angle 0, right");
    }
    const Image up = gradientImage(colors, 90, {200, 100});
    for (const int x : {0, 199}) {
        expectNear(up.pixelAt(x, 0), kRed, 2, "angle 90, bottom");
        expectNear(up.pixelAt(x, 99), kBlue, 2, "angle 90, top");
    }
    // At 45° the segment spans the projection of the whole canvas: the extreme
    // corners carry the end colours, the other two a third of the way along.
    const Image diagonal = gradientImage(colors, 45, {200, 100});
    expectNear(diagonal.pixelAt(0, 0), kRed, 2, "45, bottom-left");
    expectNear(diagonal.pixelAt(199, 99), kBlue, 2, "45, top-right");
    expectNear(diagonal.pixelAt(0, 99), Bgra{85, 0, 170, 255}, 2, "45, top-left");
    expectNear(diagonal.pixelAt(199, 0), Bgra{170, 0, 85, 255}, 2, "45, bottom-right");
    expectNear(gradientImage(colors, 180, {200, 100}).pixelAt(0, 50), kBlue, 1, "180, left");

    // Stops are evenly spaced, and one colour is uniform.
    const Image three = gradientImage({"#FF0000", "#00FF00", "#0000FF"}, 0, {201, 10});
    expectNear(three.pixelAt(100, 5), Bgra{0, 255, 0, 255}, 1, "middle stop");
    expectNear(three.pixelAt(50, 5), Bgra{0, 128, 128, 255}, 2, "between the first two");

    const Image one = gradientImage({"#1D2A44"}, 30, {40, 20});
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(one.pixelAt(x, y), (Bgra{0x44, 0x2A, 0x1D, 255}));
        }
    }
    const Image none = gradientImage({}, 45, {40, 20});
    ASSERT_EQ(none.extent(), (PixelRect{0, 0, 40, 20}));
    EXPECT_EQ(none.pixelAt(20, 10), Bgra{});
    EXPECT_TRUE(gradientImage({"#FFFFFF"}, 0, {0, 20}).isEmpty());
    EXPECT_EQ(gradientImage({"#FFFFFF"}, 0, {9.9, 3.2}).extent(), (PixelRect{0, 0, 9, 3}));

    // Backgrounds: solid, an image, and an image that cannot be decoded.
    const Image solid = makeBackground(BackgroundStyle::solid("#F6F1E7"), {64, 36});
    ASSERT_EQ(solid.extent(), (PixelRect{0, 0, 64, 36}));
    EXPECT_EQ(solid.pixelAt(0, 0), (Bgra{0xE7, 0xF1, 0xF6, 255}));
    EXPECT_EQ(solid.pixelAt(63, 35), (Bgra{0xE7, 0xF1, 0xF6, 255}));

    testing::TempDir dir;
    testing::writeText(dir / "broken.png", "not an image");
    for (const auto& path : {dir / "missing.png", dir / "broken.png"}) {
        const Image grey = makeBackground(BackgroundStyle::image(path.string()), {64, 36});
        ASSERT_EQ(grey.extent(), (PixelRect{0, 0, 64, 36}));
        EXPECT_EQ(grey.pixelAt(10, 10), (Bgra{31, 26, 26, 255}));  // 0.12, 0.1, 0.1
    }

    // 30 × 10: green, red, blue, green in stripes of 10, 5, 5 and 10 columns.
    // On 20 × 20 it is scaled by 2 and its middle third shows: red, then blue.
    testing::writeText(dir / "stripes.bmp", testing::bmpFile(30, 10, [](int x, int) {
                           return x < 10 || x >= 20 ? 0x00FF00u : x < 15 ? 0xFF0000u : 0x0000FFu;
                       }));
    const Image image =
        makeBackground(BackgroundStyle::image((dir / "stripes.bmp").string()), {20, 20});
    ASSERT_EQ(image.extent(), (PixelRect{0, 0, 20, 20}));
    for (const int y : {0, 10, 19}) {
        expectNear(image.pixelAt(4, y), kRed, 2, "left half");
        expectNear(image.pixelAt(15, y), kBlue, 2, "right half");
    }
}

double sum(const AlphaPlane& plane) {
    return std::accumulate(plane.values.begin(), plane.values.end(), 0.0);
}

VideoFrame scaled(const VideoFrame& source, int width, int height, PixelBox clip = {}) {
    if (clip.width == 0) {
        clip = {0, 0, width, height};
    }
    ScaleScratch scratch;
    VideoFrame out = VideoFrame::allocate(PixelFormat::bgra, clip.width, clip.height);
    scalePicture(source, {0, 0, source.width, source.height}, width, height, clip, out.data[0],
                 out.stride[0], scratch);
    return out;
}

TEST(Shapes, RoundedRectsMaskedBlurredConvertedAndScaled) {
    const Image image = roundedRectImage({10.5, 20, 30, 10}, 3, {1, 1, 1, 0.5});
    EXPECT_EQ(image.extent(), (PixelRect{9, 19, 33, 12}));
    EXPECT_EQ(image.pixelAt(25, 25), (Bgra{128, 128, 128, 128}));  // premultiplied
    EXPECT_EQ(image.pixelAt(9, 25), Bgra{});                       // the spare ring
    EXPECT_EQ(image.pixelAt(10, 25), (Bgra{64, 64, 64, 64}));      // half covered
    EXPECT_EQ(image.pixelAt(10, 20), Bgra{});                      // rounded away
    EXPECT_TRUE(roundedRectImage({0, 0, 0, 5}, 1, {1, 1, 1, 1}).isEmpty());

    // A mask keeps partial coverage and full runs.
    const Rect rect{3.4, 2.7, 60.2, 30.5};
    const PixelRect clip{0, 0, 50, 100};  // cuts off the right side
    const MaskLayer mask = makeMask(rect, 9, clip);
    ASSERT_EQ(mask.extent, (PixelRect{3, 2, 47, 32}));
    const AlphaPlane plane = roundedRectCoverage(rect, 9, 1, clip);
    const std::vector<std::uint8_t> bytes = coverageBytes(plane);
    for (int y = mask.extent.y; y < mask.extent.maxY(); ++y) {
        for (int x = mask.extent.x; x < mask.extent.maxX(); ++x) {
            const std::size_t at = std::size_t(plane.extent.maxY() - 1 - y) * plane.extent.width +
                                   std::size_t(x - plane.extent.x);
            ASSERT_EQ(mask.coverageAt(x, y), bytes[at]) << x << "," << y;
        }
    }
    // Only the rim is stored.
    EXPECT_LT(mask.partial.size(), std::size_t(47 * 32 / 2));
    EXPECT_EQ(mask.coverageAt(2, 10), 0);
    EXPECT_TRUE(makeMask({0, 0, 0, 10}, 2, clip).extent.isEmpty());

    // The blur spreads beyond the shape like a Gaussian.
    const AlphaPlane square =
        roundedRectCoverage({0, 0, 200, 200}, 0, 1, {-1000, -1000, 2000, 2000});
    const double sigma = 10;
    const AlphaPlane blurred = gaussianBlur(square, sigma);
    EXPECT_EQ(blurred.extent, square.extent.grownBy(blurReach(sigma)));
    EXPECT_NEAR(sum(blurred), sum(square), sum(square) * 1e-4);
    // Across an edge far from the corners: the normal distribution's tail.
    for (const int x : {-1, -11, 9}) {
        EXPECT_NEAR(blurred.at(x, 100), 0.5 * std::erfc((-x - 0.5) / sigma / std::sqrt(2)), 0.03)
            << x;
    }
    EXPECT_GT(blurred.at(-20, 100), 0.0f);
    EXPECT_NEAR(blurred.at(100, 100), 1, 1e-4);
    // Symmetric about the shape's centre.
    EXPECT_NEAR(blurred.at(-5, 100), blurred.at(204, 100), 1e-4);
    EXPECT_NEAR(blurred.at(100, -5), blurred.at(100, 204), 1e-4);

    // A small sigma uses the sampled kernel.
    AlphaPlane dot(PixelRect{0, 0, 1, 1});
    dot.values[0] = 1;
    const AlphaPlane spot = gaussianBlur(dot, 1);
    EXPECT_EQ(spot.extent, (PixelRect{-3, -3, 7, 7}));
    EXPECT_NEAR(sum(spot), 1, 1e-5);
    EXPECT_NEAR(spot.at(0, 0), 1 / (2 * M_PI), 0.01);
    EXPECT_NEAR(spot.at(1, 0), spot.at(0, -1), 1e-6);
    EXPECT_EQ(gaussianBlur(dot, 0).extent, dot.extent);
    EXPECT_EQ(gaussianBlur(dot, std::nan("")).extent, dot.extent);

    // A blurred rounded rectangle matches blurring the rasterised shape.
    struct Case {
        Rect rect;
        double radius, sigma;
    };
    // Box and kernel blurs, fractional edges, a pill whose corners overlap,
    // square corners, and an area that cuts through the shadow.
    for (const Case& c : {Case{{20.3, 10.6, 150.2, 90.5}, 24, 22}, Case{{5, 5, 60, 40}, 8, 1.5},
                          Case{{10, 10, 100, 30}, 500, 7}, Case{{0.5, 0.5, 80, 50}, 0, 4}}) {
        const PixelRect area = PixelRect::covering(c.rect).grownBy(blurReach(c.sigma) + 1);
        const AlphaPlane expected =
            gaussianBlur(roundedRectCoverage(c.rect, c.radius, 0.6, area), c.sigma);
        for (const PixelRect& part :
             {area, PixelRect{area.x + 7, area.y + 3, area.width / 2, 20}}) {
            const AlphaPlane fast = blurredRoundedRect(c.rect, c.radius, 0.6, c.sigma, part);
            ASSERT_EQ(fast.extent, part);
            float worst = 0;
            for (int y = part.y; y < part.maxY(); ++y) {
                for (int x = part.x; x < part.maxX(); ++x) {
                    worst = std::max(worst, std::abs(fast.at(x, y) - expected.at(x, y)));
                }
            }
            EXPECT_LT(worst, 1e-4) << "radius " << c.radius << " sigma " << c.sigma;
        }
    }

    // BT.709 limited range conversion.
    struct ConvertCase {
        Bgra color;
        int y, u, v;
    };
    for (const ConvertCase& c :
         {ConvertCase{{255, 255, 255, 255}, 235, 128, 128},
          ConvertCase{{0, 0, 0, 255}, 16, 128, 128}, ConvertCase{kRed, 63, 102, 240},
          ConvertCase{{0, 255, 0, 255}, 173, 42, 26}, ConvertCase{kBlue, 32, 240, 118}}) {
        // Odd sizes: the last column and row share chroma with themselves.
        const VideoFrame i420 = testing::toI420(testing::solidFrame(5, 3, c.color));
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{4, 2}}) {
            EXPECT_NEAR(i420.row(0, y)[x], c.y, 1);
            EXPECT_NEAR(i420.row(1, y / 2)[x / 2], c.u, 1);
            EXPECT_NEAR(i420.row(2, y / 2)[x / 2], c.v, 1);
        }
    }

    // Back to BGRA from an odd start row: chroma rows differ, so an off-by-one chroma row shows.
    VideoFrame i420 = VideoFrame::allocate(PixelFormat::i420, 4, 4);
    std::memset(i420.data[0], 128, std::size_t(i420.stride[0]) * 4);
    std::memset(i420.row(1, 0), 128, 2);
    std::memset(i420.row(2, 0), 128, 2);
    std::memset(i420.row(1, 1), 128, 2);
    std::memset(i420.row(2, 1), 240, 2);  // reddish bottom half
    std::vector<std::uint8_t> out(4 * 4 * 3);
    convertRegionToBgra(i420, 0, 1, 4, 3, out.data(), 16);
    EXPECT_NEAR(out[2], out[1], 2);             // row 1 is grey
    EXPECT_GT(out[16 + 2], out[16 + 1] + 100);  // row 2 is red
    EXPECT_GT(out[32 + 2], out[32 + 1] + 100);

    // Scaling: uniform pictures stay exactly uniform.
    struct ScaleCase {
        int sw, sh, dw, dh;
    };
    // Shrinking a little, by half and more (box steps, odd sizes), enlarging.
    for (const ScaleCase& c :
         {ScaleCase{320, 180, 256, 144}, ScaleCase{1280, 720, 260, 260},
          ScaleCase{721, 481, 100, 67}, ScaleCase{40, 30, 97, 61}, ScaleCase{1, 1, 5, 3}}) {
        for (const Bgra pixel : {Bgra{12, 200, 255, 255}, Bgra{10, 20, 30, 128}}) {
            const VideoFrame src = testing::solidFrame(c.sw, c.sh, pixel);
            EXPECT_EQ(testing::maxDifference(scaled(src, c.dw, c.dh),
                                             testing::solidFrame(c.dw, c.dh, pixel)),
                      0)
                << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
        }
    }

    // I420 is scaled like its BGRA conversion.
    for (const auto& [sw, sh, dw, dh] :
         {std::tuple{1280, 720, 1100, 619}, std::tuple{641, 359, 900, 500},
          std::tuple{1280, 720, 300, 300}}) {
        const VideoFrame i420 = testing::toI420(testing::patternFrame(sw, sh));
        VideoFrame bgra = VideoFrame::allocate(PixelFormat::bgra, sw, sh);
        convertRegionToBgra(i420, 0, 0, sw, sh, bgra.data[0], bgra.stride[0]);
        // Rows are blended before conversion: each is rounded once more.
        EXPECT_LE(testing::maxDifference(scaled(i420, dw, dh), scaled(bgra, dw, dh)), 2)
            << sw << "x" << sh << " -> " << dw << "x" << dh;
        // An odd clip: chroma pairs split at its left edge.
        const PixelBox clip{dw / 3 | 1, dh / 4 | 1, dw / 3, dh / 3};
        EXPECT_LE(testing::maxDifference(scaled(i420, dw, dh, clip), scaled(bgra, dw, dh, clip)),
                  2);
    }

    // A clip is that part of the whole picture.
    const VideoFrame src = testing::patternFrame(300, 200);
    const VideoFrame whole = scaled(src, 450, 300);
    const VideoFrame part = scaled(src, 450, 300, {320, 210, 100, 50});
    for (int y = 0; y < 50; ++y) {
        ASSERT_EQ(std::memcmp(part.row(0, y), whole.row(0, 210 + y) + 4 * 320, 400), 0) << y;
    }
    // A smooth ramp stays a ramp: the ends keep the source's end values.
    EXPECT_NEAR(whole.row(0, 150)[0], src.row(0, 100)[0], 1);
    EXPECT_NEAR(whole.row(0, 150)[4 * 449], src.row(0, 100)[4 * 299], 1);
}

}  // namespace
}  // namespace zarvex
