#include "capture/screen_capture.h"

#include <cmath>
#include <type_traits>

#include "capture/errors.h"

namespace zarvex {
namespace {

// The scale of the display a window is on: the one holding its centre, else
// the primary display's; 1 without displays.
double windowScale(const ShareableContent& content, const Rect& frame) {
    const Point centre{frame.midX(), frame.midY()};
    for (const auto& display : content.displays) {
        if (display.frame.contains(centre)) {
            return display.pointPixelScale;
        }
    }
    return content.displays.empty() ? 1.0 : content.displays.front().pointPixelScale;
}

const ShareableDisplay& requireDisplay(const ShareableContent& content, DisplayID id) {
    const ShareableDisplay* display = content.display(id);
    if (display == nullptr) {
        throw RecorderError::noDisplay();
    }
    return *display;
}

ContentFilter displayFilter(const ShareableDisplay& display, std::uint32_t ownProcessID) {
    ContentFilter filter;
    filter.kind = ContentFilter::Kind::display;
    filter.displayID = display.id;
    filter.excludedProcessIDs = {ownProcessID};
    filter.contentRect = display.frame;
    filter.pointPixelScale = display.pointPixelScale;
    return filter;
}

}  // namespace

HostTime minimumFrameSpacing(const StreamConfiguration& configuration) {
    const MediaTime& interval = configuration.minimumFrameInterval;
    if (!interval.isValid() || interval.value <= 0) {
        return HostTime{0};
    }
    return HostTime{interval.value * std::int64_t{1'000'000'000} / interval.timescale};
}

Rect integralRect(const Rect& rect) {
    double x = rect.x;
    double y = rect.y;
    double width = rect.width;
    double height = rect.height;
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    const double minX = std::floor(x);
    const double minY = std::floor(y);
    return Rect{minX, minY, std::ceil(x + width) - minX, std::ceil(y + height) - minY};
}

ScreenStreamPlan planScreenStream(const ShareableContent& content, const CaptureTarget& target,
                                  bool showsCursor, std::uint32_t ownProcessID) {
    ScreenStreamPlan plan;
    Size points = std::visit(
        [&](const auto& chosen) -> Size {
            using Target = std::decay_t<decltype(chosen)>;
            if constexpr (std::is_same_v<Target, WindowTarget>) {
                const ShareableWindow* window = content.window(chosen.windowID);
                if (window == nullptr) {
                    throw RecorderError::windowGone();
                }
                plan.filter.kind = ContentFilter::Kind::window;
                plan.filter.windowID = window->id;
                plan.filter.contentRect = window->frame;
                plan.filter.pointPixelScale = windowScale(content, window->frame);
                return window->frame.size();
            } else {
                const ShareableDisplay& display = requireDisplay(content, chosen.displayID);
                plan.filter = displayFilter(display, ownProcessID);
                if constexpr (std::is_same_v<Target, RegionTarget>) {
                    plan.configuration.sourceRect = integralRect(chosen.rect);
                    return plan.configuration.sourceRect->size();
                } else {
                    return display.frame.size();
                }
            }
        },
        target);
    const double scale = plan.filter.pointPixelScale;
    const Size pixels = evenPixelSize(points.width * scale, points.height * scale);
    plan.configuration.width = static_cast<int>(pixels.width);
    plan.configuration.height = static_cast<int>(pixels.height);
    plan.configuration.showsCursor = showsCursor;
    return plan;
}

}  // namespace zarvex
