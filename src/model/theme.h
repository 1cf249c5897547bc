#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/color.h"

namespace zarvex {

enum class FontDesign { defaultDesign, rounded };
enum class HeaderStyle { plain, titleBar };

// A theme colour that is either fixed or the desktop's accent colour, which is
// only known when drawing.
struct ThemeAccent {
    bool systemAccent = false;
    Color color;
    bool operator==(const ThemeAccent&) const = default;
};

// The look of the application's own windows; never affects recorded video.
struct Theme {
    std::string id;
    std::string name;
    FontDesign fontDesign = FontDesign::defaultDesign;
    ThemeAccent accent;
    bool isRetro = false;
    std::vector<Color> backdrop;
    std::optional<Color> bloom;
    bool stageGrid = false;
    Color panelTint;
    Color hairline;
    std::optional<Color> panelColor;
    std::optional<Color> outline;
    double outlineWidth = 0;
    double controlRadius = 0;
    HeaderStyle headerStyle = HeaderStyle::plain;
    std::vector<Color> titleBarColors;

    bool operator==(const Theme&) const = default;

    static const Theme& studio();
    static const Theme& rewind();
    // [studio, rewind], the order of the settings picker.
    static const std::vector<Theme>& all();
    // The first theme with this exact id; Studio when none matches.
    static const Theme& named(std::string_view id);
};

// Positions of the background grid lines: 0, 24, 48, … up to and including `length`.
std::vector<double> stageGridLines(double length, double spacing = 24);

}  // namespace zarvex
