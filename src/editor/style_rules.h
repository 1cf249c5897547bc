#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/enum_table.h"
#include "model/geometry.h"
#include "model/style.h"

// The rules behind the inspector's controls, without widgets.
namespace zarvex {

// The background tabs, in order; their labels are their raw values.
enum class BackgroundKind { gradients, solid, image };

template <>
struct EnumTable<BackgroundKind> {
    static constexpr std::array<EnumCase<BackgroundKind>, 3> cases{{
        {BackgroundKind::gradients, "Gradients"},
        {BackgroundKind::solid, "Solid"},
        {BackgroundKind::image, "Image"},
    }};
};

// The tab that shows a background.
BackgroundKind backgroundKindOf(const BackgroundStyle& background);

// What choosing a tab does to the background: a gradient becomes
// #FF5F6D → #FFC371 at 45°, a solid colour #2C5364, unless the background is
// already of that kind; the image tab changes nothing until an image is
// chosen. Nothing when the background stays.
std::optional<BackgroundStyle> backgroundForTab(BackgroundKind kind,
                                                const BackgroundStyle& current);

inline const std::string kTabSolidColor = "#2C5364";

// A slider's range.
struct SliderRange {
    double minimum = 0;
    double maximum = 1;
    double clamp(double value) const;
};

inline constexpr SliderRange kPaddingRange{0, 0.2};
inline constexpr SliderRange kCornersRange{0, 80};
inline constexpr SliderRange kShadowOpacityRange{0, 1};
inline constexpr SliderRange kShadowSoftnessRange{0, 120};
inline constexpr SliderRange kAngleRange{0, 360};
inline constexpr SliderRange kBubbleSizeRange{0.1, 0.45};
inline constexpr SliderRange kZoomScaleRange{1.25, 3.0};

// How a slider row shows its value.
enum class ValueFormat {
    fraction,       // × 100, truncated, "%": "20%"
    points,         // truncated: "44"
    degrees,        // truncated, "°": "45°"
    magnification,  // two decimals, a trailing zero dropped, "×": "1.25×", "2.0×"
};

std::string sliderValueText(double value, ValueFormat format);

// The angle slider's value: the gradient's angle, 0 for other backgrounds.
double shownAngle(const BackgroundStyle& background);
// The colour well's colour: the solid colour, #2C5364 for other backgrounds.
std::string shownSolidColor(const BackgroundStyle& background);

// The style with the gradient's angle changed; unchanged when the background
// is not a gradient.
StyleSettings withGradientAngle(StyleSettings style, double angle);
// The style with the bubble sent to a corner (any dragged position forgotten).
StyleSettings withBubbleCorner(StyleSettings style, WebcamSpec::Corner corner);

// The corner a bubble is shown at: its corner, or for a dragged bubble the
// corner whose place it sits on (within kCornerMatchFraction of the canvas's
// shorter side); nothing for a bubble placed anywhere else.
inline constexpr double kCornerMatchFraction = 0.01;
std::optional<WebcamSpec::Corner> shownBubbleCorner(const WebcamSpec& webcam, Size canvas);

// The name a preset is saved under: the text without spaces and tabs at
// either end (line breaks stay); nothing when that leaves no text.
std::optional<std::string> presetNameToSave(std::string_view text);

}  // namespace zarvex
