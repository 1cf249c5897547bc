#include "model/theme.h"

namespace zarvex {
namespace {

Theme makeStudio() {
    Theme t;
    t.id = "studio";
    t.name = "Studio";
    t.fontDesign = FontDesign::defaultDesign;
    t.accent = ThemeAccent{true, {}};
    t.isRetro = false;
    t.backdrop = {Color::rgb255(22, 34, 44), Color::rgb255(16, 24, 32), Color::rgb255(10, 13, 17)};
    t.bloom = Color::rgb255(78, 159, 184);
    t.stageGrid = false;
    t.panelTint = Color{1, 1, 1, 0.04};
    t.hairline = Color{1, 1, 1, 0.07};
    t.outlineWidth = 0;
    t.controlRadius = 6;
    t.headerStyle = HeaderStyle::plain;
    return t;
}

Theme makeRewind() {
    Theme t;
    t.id = "rewind";
    t.name = "Rewind";
    t.fontDesign = FontDesign::rounded;
    t.accent = ThemeAccent{false, Color::rgb255(244, 85, 63)};
    t.isRetro = true;
    t.backdrop = {Color::rgb255(255, 249, 236), Color::rgb255(246, 233, 212),
                  Color::rgb255(238, 220, 195)};
    t.bloom = Color::rgb255(248, 195, 60);
    t.stageGrid = true;
    t.panelTint = Color::rgb255(255, 246, 232, 0.82);
    t.hairline = Color::rgb255(34, 30, 26);
    t.panelColor = Color::rgb255(255, 246, 232);
    t.outline = Color::rgb255(34, 30, 26);
    t.outlineWidth = 2;
    t.controlRadius = 4;
    t.headerStyle = HeaderStyle::titleBar;
    t.titleBarColors = {Color::rgb255(244, 85, 63), Color::rgb255(87, 174, 223),
                        Color::rgb255(248, 195, 60)};
    return t;
}

}  // namespace

const std::vector<Theme>& Theme::all() {
    static const std::vector<Theme> themes{makeStudio(), makeRewind()};
    return themes;
}

const Theme& Theme::studio() {
    return all()[0];
}

const Theme& Theme::rewind() {
    return all()[1];
}

const Theme& Theme::named(std::string_view id) {
    for (const auto& theme : all()) {
        if (theme.id == id) {
            return theme;
        }
    }
    return studio();
}

std::vector<double> stageGridLines(double length, double spacing) {
    std::vector<double> lines;
    if (!(spacing > 0)) {
        return lines;
    }
    for (int i = 0; i * spacing <= length; ++i) {
        lines.push_back(i * spacing);
    }
    return lines;
}

}  // namespace zarvex
