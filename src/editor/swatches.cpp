#include "editor/swatches.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

#include "model/color.h"
#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {
namespace {

constexpr QSize kGradientSwatch(56, 34);
constexpr int kColorSwatch = 28;
constexpr QSize kColorWell(48, 24);
constexpr QSize kCornerButton(52, 34);
constexpr double kTileRadius = 7;

QColor edgeColor(const Theme& theme) {
    if (theme.panelColor) {
        return themeOutline(theme);
    }
    return QColor(255, 255, 255, 60);
}

double edgeWidth(const Theme& theme) {
    return theme.panelColor ? std::max(1.0, theme.outlineWidth * 0.75) : 1.0;
}

// The gradient's axis across `r` (y down), matching the compositor's angle
// (counter-clockwise from left to right, y up).
QLinearGradient tileGradient(const GradientSpec& gradient, const QRectF& r) {
    const double theta = gradient.angle * std::numbers::pi / 180;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double half = (std::abs(c * r.width()) + std::abs(s * r.height())) / 2;
    const QPointF centre = r.center();
    QLinearGradient fill(centre - QPointF(c * half, -s * half),
                         centre + QPointF(c * half, -s * half));
    const auto count = gradient.colors.size();
    for (std::size_t i = 0; i < count; ++i) {
        const double at = count == 1 ? 0 : double(i) / double(count - 1);
        fill.setColorAt(at, toQColor(colorFromHex(gradient.colors[i])));
    }
    return fill;
}

}  // namespace

void paintSelectionRing(QPainter& painter, const QRectF& shape, double radius, bool round) {
    const Theme& theme = ApplicationTheme::current();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(themeAccent(theme), 2.5));
    const QRectF ring = shape.adjusted(-1.5, -1.5, 1.5, 1.5);
    if (round) {
        painter.drawEllipse(ring);
    } else {
        painter.drawRoundedRect(ring, radius + 1.5, radius + 1.5);
    }
    painter.restore();
}

GradientSwatch::GradientSwatch(GradientSpec gradient, QWidget* parent)
    : QAbstractButton(parent), gradient_(std::move(gradient)) {
    setCheckable(true);
    setAutoExclusive(false);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QStringList colors;
    for (const std::string& hex : gradient_.colors) {
        colors << QString::fromStdString(hex);
    }
    setToolTip(colors.join(QStringLiteral(" → ")));
    setAccessibleName(toolTip());
}

QSize GradientSwatch::sizeHint() const {
    return kGradientSwatch;
}

void GradientSwatch::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(rect()).adjusted(4, 4, -4, -4);
    painter.setPen(QPen(edgeColor(theme), edgeWidth(theme)));
    painter.setBrush(tileGradient(gradient_, tile));
    painter.drawRoundedRect(tile, kTileRadius, kTileRadius);
    if (isChecked()) {
        paintSelectionRing(painter, tile, kTileRadius, false);
    } else if (underMouse()) {
        painter.setPen(QPen(QColor(255, 255, 255, 120), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(tile, kTileRadius, kTileRadius);
    }
}

ColorSwatch::ColorSwatch(const QColor& color, QWidget* parent)
    : QAbstractButton(parent), color_(color) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(color.name(QColor::HexRgb).toUpper());
    setAccessibleName(toolTip());
}

void ColorSwatch::setColor(const QColor& color) {
    color_ = color;
    setToolTip(color.name(QColor::HexRgb).toUpper());
    update();
}

void ColorSwatch::setWell(bool well) {
    well_ = well;
    updateGeometry();
    update();
}

QSize ColorSwatch::sizeHint() const {
    return well_ ? kColorWell + QSize(6, 6) : QSize(kColorSwatch, kColorSwatch) + QSize(6, 6);
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5);
    painter.setPen(QPen(edgeColor(theme), edgeWidth(theme)));
    painter.setBrush(color_);
    if (well_) {
        painter.drawRoundedRect(shape, 5, 5);
    } else {
        painter.drawEllipse(shape);
    }
    if (isChecked()) {
        paintSelectionRing(painter, shape, 5, !well_);
    }
}

CornerButton::CornerButton(WebcamSpec::Corner corner, QWidget* parent)
    : QAbstractButton(parent), corner_(corner) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const QString name = QString::fromLatin1(rawValue(corner).data(), int(rawValue(corner).size()));
    setToolTip(name);
    setAccessibleName(name);
}

QSize CornerButton::sizeHint() const {
    return kCornerButton;
}

void CornerButton::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    const QColor accent = themeAccent(theme);
    const QRectF screen = QRectF(rect()).adjusted(5, 5, -5, -5);
    QColor fill = isChecked() ? accent : ink;
    fill.setAlphaF(isChecked() ? 0.22f : (underMouse() ? 0.10f : 0.04f));
    painter.setPen(
        QPen(isChecked() ? accent : QColor(ink.red(), ink.green(), ink.blue(), 140), 1.5));
    painter.setBrush(fill);
    painter.drawRoundedRect(screen, 3, 3);
    const double dot = 7;
    const double inset = 4;
    const bool left =
        corner_ == WebcamSpec::Corner::topLeft || corner_ == WebcamSpec::Corner::bottomLeft;
    const bool top =
        corner_ == WebcamSpec::Corner::topLeft || corner_ == WebcamSpec::Corner::topRight;
    const QPointF centre(left ? screen.left() + inset + dot / 2 : screen.right() - inset - dot / 2,
                         top ? screen.top() + inset + dot / 2 : screen.bottom() - inset - dot / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? accent : ink);
    painter.drawEllipse(centre, dot / 2, dot / 2);
}

}  // namespace zarvex
