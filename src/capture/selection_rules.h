#pragma once

// The rules of choosing what to record: the picks, their conversions, the
// window hit test, the size label and what each overlay shows. No toolkit
// here, so every rule is tested without a display.
//
// Coordinates. Global points are those of ShareableDisplay::frame (the
// toolkit's logical desktop coordinates, y down). View coordinates are an
// overlay's own: points from its display's top-left corner, y down, so a
// rectangle in view coordinates is already display-local as RegionTarget
// wants it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/records.h"
#include "capture/shareable_content.h"
#include "model/geometry.h"
#include "model/preferences.h"

namespace zarvex {

// A window under consideration; `frame` in global points.
struct WindowPick {
    WindowID id = 0;
    Rect frame;
    std::string ownerName;
    bool operator==(const WindowPick&) const = default;
};

// A dragged region: display-local points, y down, whole numbers.
struct RegionPick {
    DisplayID displayID = 0;
    Rect rect;
    bool operator==(const RegionPick&) const = default;
};

// Smallest region kept when the drag ends, and smallest window picked, in points.
inline constexpr double kSmallestRegion = 24;
inline constexpr double kSmallestWindow = 50;
// The owner name of a window whose application does not say.
inline constexpr std::string_view kUnnamedWindowOwner = "Window";

// The state of one selection. Each mode keeps its own pick; switching modes
// neither clears nor converts them.
struct Selection {
    CaptureMode mode = CaptureMode::region;
    bool micEnabled = prefs::kDefaultMicEnabled;
    bool systemAudioEnabled = prefs::kDefaultSystemAudioEnabled;
    bool cameraEnabled = prefs::kDefaultCameraEnabled;
    bool cursorEnabled = prefs::kDefaultCursorEnabled;
    std::optional<RegionPick> region;
    std::optional<WindowPick> windowPick;   // the window the user clicked
    std::optional<WindowPick> hoverWindow;  // the window under the pointer in window mode
    std::optional<DisplayID> selectedDisplayID;

    bool operator==(const Selection&) const = default;

    // Region mode, no picks, the four switches from the preferences.
    static Selection initial(const Preferences& preferences);

    // The pick of the current mode is present (a hovered window never counts).
    bool canStart() const;
    // The target of the current mode's pick; nothing without one.
    std::optional<CaptureTarget> makeTarget() const;
    std::optional<SelectionResult> makeResult() const;
};

// The rectangle spanned by a drag from `start` to `current`, clipped to the
// view (0, 0, viewSize).
Rect dragRectangle(Point start, Point current, Size viewSize);

// A view rectangle as a region of `displayID`: each component rounded to the
// nearest whole number, halves away from zero; nothing when it is under one
// point wide or high.
std::optional<RegionPick> regionPick(const Rect& viewRect, DisplayID displayID);

// What is left of a dragged region when the drag ends: nothing when it is
// under kSmallestRegion in either direction.
std::optional<RegionPick> regionKeptOnRelease(const std::optional<RegionPick>& region);

// The front-most window under `pointer` (global points) that is on the normal
// layer, not this process's, not fully transparent and at least
// kSmallestWindow in both directions. `frontToBack` as ShareableContent lists
// its windows.
std::optional<WindowPick> windowUnderPointer(const std::vector<ShareableWindow>& frontToBack,
                                             Point pointer, std::uint32_t ownProcessID);

// "W × H" of a rectangle of `size` points in pixels (each product truncated
// toward zero) at `scale` pixels per point.
std::string sizeLabelText(Size size, double scale);

// Size-label box geometry in view coordinates.
inline constexpr double kSizeLabelPadding = 6;  // around the text, each side
inline constexpr double kSizeLabelGap = 4;      // between the box and the rectangle's bottom edge
inline constexpr double kSizeLabelRadius = 5;
inline constexpr double kSizeLabelAlpha = 0.75;
inline constexpr double kSizeLabelFontSize = 11;

// The label box for `rect` holding text of `textSize`: left-aligned with the
// rectangle, 4 points below its bottom edge, or inside it 4 points above that
// edge when the box would leave the view.
Rect sizeLabelBox(const Rect& rect, Size textSize, Size viewSize);

// What one overlay draws for its display.
struct OverlayLook {
    enum class Kind {
        dimmed,           // the whole view dimmed
        selectedDisplay,  // nothing dimmed; the view's edge outlined
        cutOut,           // everything outside `rect` dimmed; `rect` outlined and labelled
    };
    enum class Stroke { accent, white };

    Kind kind = Kind::dimmed;
    Rect rect;  // view coordinates: the outline of a selected display, or the cut-out
    double lineWidth = 0;
    Stroke stroke = Stroke::accent;
    bool operator==(const OverlayLook&) const = default;
};

inline constexpr double kDimAlpha = 0.4;

OverlayLook overlayLook(const Selection& selection, const ShareableDisplay& display);

// The first display containing the point, else the main (first) one; null
// without displays.
const ShareableDisplay* displayAt(const std::vector<ShareableDisplay>& displays, Point point);

// The controls bar: horizontally centred on `display`, its bottom edge 96
// points above the display's bottom edge.
inline constexpr double kControlsBarLift = 96;
Point controlsBarOrigin(const Rect& display, Size barSize);

}  // namespace zarvex
