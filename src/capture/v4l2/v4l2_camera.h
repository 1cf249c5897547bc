#pragma once

#include <filesystem>
#include <memory>

#include "capture/camera_capture.h"

namespace zarvex {

// CameraCapture on V4L2. The default camera is the first node, by number,
// among <deviceFolder>/video0, video1, … that opens and can stream video
// capture (UVC cameras also create metadata nodes, which are passed over). A
// camera that is busy in another program counts as no camera. The mode is
// chooseCameraMode()'s pick; pictures are converted to I420 on the "webcam"
// thread and stamped with the driver's monotonic timestamps.
std::unique_ptr<CameraCapture> makeV4l2Camera(std::filesystem::path deviceFolder = "/dev");

}  // namespace zarvex
