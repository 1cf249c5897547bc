#include "capture/selection_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zarvex {
namespace {

bool intersects(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

}  // namespace

Selection Selection::initial(const Preferences& preferences) {
    Selection selection;
    selection.micEnabled = preferences.defaultMicEnabled();
    selection.systemAudioEnabled = preferences.defaultSystemAudioEnabled();
    selection.cameraEnabled = preferences.defaultCameraEnabled();
    selection.cursorEnabled = preferences.defaultCursorEnabled();
    return selection;
}

bool Selection::canStart() const {
    return makeTarget().has_value();
}

std::optional<CaptureTarget> Selection::makeTarget() const {
    switch (mode) {
        case CaptureMode::screen:
            if (selectedDisplayID) {
                return DisplayTarget{*selectedDisplayID};
            }
            break;
        case CaptureMode::window:
            if (windowPick) {
                return WindowTarget{windowPick->id};
            }
            break;
        case CaptureMode::region:
            if (region) {
                return RegionTarget{region->displayID, region->rect};
            }
            break;
    }
    return std::nullopt;
}

std::optional<SelectionResult> Selection::makeResult() const {
    const auto target = makeTarget();
    if (!target) {
        return std::nullopt;
    }
    return SelectionResult{*target, micEnabled, systemAudioEnabled, cameraEnabled, cursorEnabled};
}

Rect dragRectangle(Point start, Point current, Size viewSize) {
    const double left = std::max(0.0, std::min(start.x, current.x));
    const double top = std::max(0.0, std::min(start.y, current.y));
    const double right = std::min(viewSize.width, std::max(start.x, current.x));
    const double bottom = std::min(viewSize.height, std::max(start.y, current.y));
    return Rect{left, top, std::max(0.0, right - left), std::max(0.0, bottom - top)};
}

std::optional<RegionPick> regionPick(const Rect& viewRect, DisplayID displayID) {
    if (!(viewRect.width >= 1) || !(viewRect.height >= 1)) {
        return std::nullopt;
    }
    // std::round rounds halves away from zero.
    return RegionPick{displayID, Rect{std::round(viewRect.x), std::round(viewRect.y),
                                      std::round(viewRect.width), std::round(viewRect.height)}};
}

std::optional<RegionPick> regionKeptOnRelease(const std::optional<RegionPick>& region) {
    if (region && (region->rect.width < kSmallestRegion || region->rect.height < kSmallestRegion)) {
        return std::nullopt;
    }
    return region;
}

std::optional<WindowPick> windowUnderPointer(const std::vector<ShareableWindow>& frontToBack,
                                             Point pointer, std::uint32_t ownProcessID) {
    for (const ShareableWindow& window : frontToBack) {
        if (window.layer == kNormalWindowLayer && window.processID != ownProcessID &&
            window.alpha > 0 && window.frame.width >= kSmallestWindow &&
            window.frame.height >= kSmallestWindow && window.frame.contains(pointer)) {
            return WindowPick{window.id, window.frame,
                              window.applicationName.empty() ? std::string(kUnnamedWindowOwner)
                                                             : window.applicationName};
        }
    }
    return std::nullopt;
}

std::string sizeLabelText(Size size, double scale) {
    // Truncation toward zero, in 64 bits so that no sane size can overflow.
    const auto pixels = [scale](double points) {
        return static_cast<long long>(std::trunc(points * scale));
    };
    char text[64];
    std::snprintf(text, sizeof text, "%lld \u00d7 %lld", pixels(size.width), pixels(size.height));
    return text;
}

Rect sizeLabelBox(const Rect& rect, Size textSize, Size viewSize) {
    const double width = textSize.width + 2 * kSizeLabelPadding;
    const double height = textSize.height + 2 * kSizeLabelPadding;
    double top = rect.maxY() + kSizeLabelGap;
    if (top + height > viewSize.height) {
        top = rect.maxY() - kSizeLabelGap - height;
    }
    return Rect{rect.minX(), top, width, height};
}

OverlayLook overlayLook(const Selection& selection, const ShareableDisplay& display) {
    using Kind = OverlayLook::Kind;
    using Stroke = OverlayLook::Stroke;
    const Rect bounds{0, 0, display.frame.width, display.frame.height};
    switch (selection.mode) {
        case CaptureMode::screen:
            if (selection.selectedDisplayID == display.id) {
                return {Kind::selectedDisplay, bounds.insetBy(2, 2), 4, Stroke::accent};
            }
            break;
        case CaptureMode::region:
            if (selection.region && selection.region->displayID == display.id) {
                return {Kind::cutOut, selection.region->rect, 2, Stroke::accent};
            }
            break;
        case CaptureMode::window: {
            const auto& shown = selection.windowPick ? selection.windowPick : selection.hoverWindow;
            if (shown && intersects(shown->frame, display.frame)) {
                const Rect local = shown->frame.offsetBy(-display.frame.x, -display.frame.y);
                return selection.windowPick ? OverlayLook{Kind::cutOut, local, 2, Stroke::accent}
                                            : OverlayLook{Kind::cutOut, local, 1.5, Stroke::white};
            }
            break;
        }
    }
    return {};
}

const ShareableDisplay* displayAt(const std::vector<ShareableDisplay>& displays, Point point) {
    for (const auto& display : displays) {
        if (display.frame.contains(point)) {
            return &display;
        }
    }
    return displays.empty() ? nullptr : &displays.front();
}

Point controlsBarOrigin(const Rect& display, Size barSize) {
    return Point{display.midX() - barSize.width * 0.5,
                 display.maxY() - kControlsBarLift - barSize.height};
}

}  // namespace zarvex
