#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include "model/theme.h"

// How a theme record becomes Qt drawing state: colours, the palette, fonts and
// the application style sheet. Pure functions of the theme (and of the
// desktop's accent), so every window derives the same values.
namespace zarvex {

QColor toQColor(const Color& color);

// The desktop's accent: the highlight of the palette the platform gave the
// application before any theme was applied. Recorded once by the GUI bootstrap.
QColor systemAccentColor();
void setSystemAccentColor(const QColor& color);

// The ink of outlines and the stage grid: `outline`, black when absent.
QColor themeOutline(const Theme& theme);

// The theme's accent: its fixed colour, or the desktop's accent for Studio.
QColor themeAccent(const Theme& theme);

// Light palette forced on retro themes (cream panels, ink text); `accent`
// becomes the highlight.
QPalette retroLightPalette(const QColor& accent);
// The palette of a theme's windows: the retro light scheme for retro themes,
// otherwise the dark scheme of the stage.
QPalette themePalette(const Theme& theme);

// Font families by design: a UI sans for `defaultDesign`, a rounded face for
// `rounded` (and the countdown digits). Both come from Debian font packages;
// when one is missing Qt substitutes the default sans.
QString fontFamily(FontDesign design);
// `pixelSize` is in points (Qt logical pixels).
QFont themeFont(FontDesign design, double pixelSize, QFont::Weight weight = QFont::Normal);
// The body font of a theme's windows (13 points).
QFont themeBodyFont(const Theme& theme);
// The headline font: 13 points, semibold.
QFont themeHeadlineFont(const Theme& theme);
// A secondary caption: 11 points.
QFont themeCaptionFont(const Theme& theme);

// Colour of secondary text (captions) in a palette.
QColor secondaryTextColor(const QPalette& palette);

// The application style sheet of a theme: control radius, outlines and
// accent for buttons, fields, pickers and sliders; buttons with the property
// prominent=true are filled with the accent, bordered=true tool buttons get a
// frame, recording=true buttons are drawn in the accent; labels with the
// property role = "caption" (11 points, secondary), "secondary" or "title"
// (15 points, semibold).
QString themeStyleSheet(const Theme& theme);

}  // namespace zarvex
