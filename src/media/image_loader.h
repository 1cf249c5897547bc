#pragma once

#include <filesystem>
#include <optional>

#include "media/video_frame.h"

namespace zarvex {

// Decodes an image file (PNG, JPEG, WebP, TIFF, BMP, …) into a premultiplied
// sRGB BGRA frame. Nothing when the file is missing or cannot be decoded.
std::optional<VideoFrame> loadImage(const std::filesystem::path& path);

}  // namespace zarvex
