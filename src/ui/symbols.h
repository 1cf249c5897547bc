#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// Monochrome symbols drawn for Zarvex ("play.fill", "folder",
// "square.and.arrow.up", "MenuBarIcon", …), kept as SVG files in the Qt
// resources. Like template images, only their shape counts: black ink is
// the symbol, white ink cuts it out, and the colour comes from the theme at
// drawing time.
namespace zarvex {

// The names of every symbol, sorted.
QStringList symbolNames();

// Whether a symbol of that name exists.
bool hasSymbol(const QString& name);

// The symbol in `color` at `size` points and `devicePixelRatio`; a null image
// for an unknown name.
QImage symbolImage(const QString& name, const QSize& size, const QColor& color,
                   double devicePixelRatio = 1);

// An icon that draws the symbol in the application palette's button text
// colour (the disabled one when disabled, the highlighted text colour when
// selected), so it follows theme changes without being rebuilt.
QIcon symbolIcon(const QString& name);
// The same in one fixed colour.
QIcon symbolIcon(const QString& name, const QColor& color);

}  // namespace zarvex
