#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "media/image_loader.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::runProcess;
using testing::TempDir;

// Writes one 16×10 picture of `color` (an ffmpeg colour, e.g. "red@0.5") with the ffmpeg program.
void writeImage(const std::filesystem::path& path, const std::string& color,
                const std::string& pixelFormat) {
    const auto result = runProcess({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                    "color=c=" + color + ":s=16x10,format=" + pixelFormat,
                                    "-frames:v", "1", "-update", "1", path.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

struct Bgra {
    int b, g, r, a;
};

Bgra centre(const VideoFrame& image) {
    const std::uint8_t* p = image.row(0, image.height / 2) + 4 * (image.width / 2);
    return {p[0], p[1], p[2], p[3]};
}

TEST(LoadImageFormats, DecodesEveryBackgroundFormat) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* pixelFormat;
        int tolerance;
    };
    // Lossy formats come back within a few levels of the colour.
    for (const Case& c :
         {Case{"a.png", "rgb24", 0}, Case{"a.jpg", "yuvj444p", 6}, Case{"a.webp", "yuv420p", 12},
          Case{"a.tiff", "rgb24", 0}, Case{"a.bmp", "bgr24", 0}}) {
        SCOPED_TRACE(c.name);
        writeImage(dir / c.name, "0x3080C0", c.pixelFormat);
        const auto image = loadImage(dir / c.name);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->width, 16);
        EXPECT_EQ(image->height, 10);
        const Bgra p = centre(*image);
        EXPECT_NEAR(p.r, 0x30, c.tolerance);
        EXPECT_NEAR(p.g, 0x80, c.tolerance);
        EXPECT_NEAR(p.b, 0xC0, c.tolerance);
        EXPECT_EQ(p.a, 255);
    }
}

TEST(LoadImageFormats, TranslucentPngComesOutPremultiplied) {
    TempDir dir;
    writeImage(dir / "half.png", "0xFF4000@0.5", "rgba");
    const auto image = loadImage(dir / "half.png");
    ASSERT_TRUE(image.has_value());
    const Bgra p = centre(*image);
    EXPECT_NEAR(p.a, 128, 1);
    EXPECT_NEAR(p.r, 128, 2);
    EXPECT_NEAR(p.g, 32, 2);
    EXPECT_EQ(p.b, 0);
}

}  // namespace
}  // namespace zarvex
