#include "capture/indicator_geometry.h"

#include <type_traits>

namespace zarvex {

const ShareableDisplay* countdownDisplay(const CaptureTarget& target,
                                         const std::vector<ShareableDisplay>& displays) {
    if (displays.empty()) {
        return nullptr;
    }
    const auto displayID = std::visit(
        [](const auto& t) -> std::optional<DisplayID> {
            using T = std::decay_t<decltype(t)>;
            if constexpr (std::is_same_v<T, WindowTarget>) {
                return std::nullopt;
            } else {
                return t.displayID;
            }
        },
        target);
    if (displayID) {
        for (const auto& display : displays) {
            if (display.id == *displayID) {
                return &display;
            }
        }
    }
    return &displays.front();
}

Rect centredIn(const Rect& area, Size size) {
    return Rect{area.midX() - size.width / 2, area.midY() - size.height / 2, size.width,
                size.height};
}

std::optional<Rect> indicatorFrame(const CaptureTarget& target, const ShareableContent& content,
                                   const WindowFrameLookup& windowFrame) {
    if (const auto* display = std::get_if<DisplayTarget>(&target)) {
        const ShareableDisplay* found = content.display(display->displayID);
        return found ? std::optional(found->frame) : std::nullopt;
    }
    if (const auto* region = std::get_if<RegionTarget>(&target)) {
        const ShareableDisplay* found = content.display(region->displayID);
        if (!found) {
            return std::nullopt;
        }
        return grownBy(region->rect.offsetBy(found->frame.x, found->frame.y), kFrameOutset);
    }
    const auto frame =
        windowFrame ? windowFrame(std::get<WindowTarget>(target).windowID) : std::nullopt;
    return frame ? std::optional(grownBy(*frame, kFrameOutset)) : std::nullopt;
}

Rect frameOutline(Size size) {
    return Rect{0, 0, size.width, size.height}.insetBy(kFrameLineInset, kFrameLineInset);
}

Rect cameraPreviewFrame(const Rect& usableArea) {
    return Rect{usableArea.maxX() - kCameraPreviewSize - kCameraPreviewMargin,
                usableArea.maxY() - kCameraPreviewSize - kCameraPreviewMargin, kCameraPreviewSize,
                kCameraPreviewSize};
}

}  // namespace zarvex
