#include <gtest/gtest.h>

#include "capture/v4l2/camera_formats.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::runProcess;
using testing::TempDir;

// A 64 × 48 JPEG of one colour, made by FFmpeg as a camera's MJPEG stream would
// carry it.
std::string jpegOf(const TempDir& dir, const std::string& color) {
    const auto path = (dir / "frame.jpg").string();
    const auto made = runProcess({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                  "color=c=" + color + ":s=64x48", "-frames:v", "1", "-pix_fmt",
                                  "yuvj420p", "-f", "mjpeg", path});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return readText(path);
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A whole picture decodes to full-range YUV; a truncated one, or one of
// another size than the camera announced, is refused.
TEST(CameraJpeg, DecodesToFullRangeYuvAndRefusesTruncatedOrMissizedPictures) {
    TempDir dir;
    const auto jpeg = jpegOf(dir, "0x3060C0");  // R 48, G 96, B 192
    auto out = VideoFrame::allocate(PixelFormat::i420, 64, 48);
    ASSERT_TRUE(convertCameraImage({kFourccMjpeg, 64, 48, 0}, bytesOf(jpeg), out));
    // Full-range BT.601 of that colour: Y 93, Cb 184, Cr 96.
    for (const auto& [plane, x, y, value] :
         {std::tuple{0, 0, 0, 93}, {0, 63, 47, 93}, {1, 10, 10, 184}, {2, 31, 23, 96}}) {
        EXPECT_NEAR(out.row(plane, y)[x], value, 4) << "plane " << plane;
    }
    EXPECT_FALSE(convertCameraImage({kFourccMjpeg, 64, 48, 0}, bytesOf(jpeg.substr(0, 40)), out));
    auto large = VideoFrame::allocate(PixelFormat::i420, 640, 480);
    EXPECT_FALSE(convertCameraImage({kFourccMjpeg, 640, 480, 0}, bytesOf(jpeg), large));
}

}  // namespace
}  // namespace zarvex
