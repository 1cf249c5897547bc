#include <gtest/gtest.h>

#include <filesystem>

#include "capture/errors.h"
#include "capture/v4l2/v4l2_camera.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::TempDir;
using testing::writeText;

// What start() throws, or "" when nothing.
std::string startFailure(CameraCapture& camera) {
    return testing::thrownText(
        [&] { camera.start([](const CameraFrame&) { ADD_FAILURE() << "a frame arrived"; }); });
}

bool hasVideoNodes(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().starts_with("video")) {
            return true;
        }
    }
    return false;
}

// Folders without video nodes, and nodes that are no cameras: "No camera
// available." at every start (nothing is kept: each start looks again).
TEST(V4l2Camera, NoCameraWhereNoNodeIsACamera) {
    TempDir dev;
    writeText(dev / "video0", "not a device");
    std::filesystem::create_symlink("/dev/null", dev / "video1");
    std::filesystem::create_directory(dev / "video2");
    std::filesystem::create_symlink(dev / "missing", dev / "video3");
    for (const char* name : {"video", "videoX", "video-1"}) {
        writeText(dev / name, "");
    }
    std::vector<std::unique_ptr<CameraCapture>> cameras;
    cameras.push_back(makeV4l2Camera(dev.path()));
    cameras.push_back(makeV4l2Camera(dev / "absent"));
    if (!hasVideoNodes("/dev")) {
        cameras.push_back(makeV4l2Camera());
    }
    for (const auto& camera : cameras) {
        EXPECT_EQ(startFailure(*camera), "Recording failed: No camera available.");
        EXPECT_EQ(startFailure(*camera), "Recording failed: No camera available.");
        EXPECT_FALSE(camera->isRunning());
        EXPECT_EQ(camera->frameWidth(), 0);
    }
}

}  // namespace
}  // namespace zarvex
