#include "ui/toggle_switch.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {
namespace {

constexpr QSize kTrack(34, 20);

}  // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    knob_.setDuration(120);
    knob_.setEasingCurve(QEasingCurve::InOutQuad);
    knob_.setStartValue(0.0);
    knob_.setEndValue(0.0);
    connect(&knob_, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

QSize ToggleSwitch::sizeHint() const {
    return kTrack + QSize(3, 3);  // room for the retro hard shadow
}

bool ToggleSwitch::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void ToggleSwitch::checkStateSet() {
    // Set from code: no animation.
    knob_.stop();
    knob_.setStartValue(isChecked() ? 1.0 : 0.0);
    knob_.setEndValue(isChecked() ? 1.0 : 0.0);
    update();
}

void ToggleSwitch::nextCheckState() {
    QAbstractButton::nextCheckState();
    animateTo(isChecked());
}

void ToggleSwitch::animateTo(bool on) {
    knob_.stop();
    knob_.setStartValue(knob_.currentValue().isValid() ? knob_.currentValue() : QVariant(0.0));
    knob_.setEndValue(on ? 1.0 : 0.0);
    knob_.start();
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    const bool solid = theme.panelColor.has_value();
    const double t = knob_.state() == QAbstractAnimation::Running ? knob_.currentValue().toDouble()
                                                                  : (isChecked() ? 1.0 : 0.0);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    const QColor ink = themeOutline(theme);
    const double w = solid ? theme.outlineWidth : 0;
    const QRectF track =
        QRectF(QPointF(0, 0), QSizeF(kTrack)).adjusted(w / 2, w / 2, -w / 2, -w / 2);
    const double radius = track.height() / 2;
    QColor off = solid ? QColor(238, 220, 195) : QColor(255, 255, 255, 46);
    QColor on = themeAccent(theme);
    QColor fill =
        QColor::fromRgbF(static_cast<float>(off.redF() + (on.redF() - off.redF()) * t),
                         static_cast<float>(off.greenF() + (on.greenF() - off.greenF()) * t),
                         static_cast<float>(off.blueF() + (on.blueF() - off.blueF()) * t),
                         static_cast<float>(off.alphaF() + (on.alphaF() - off.alphaF()) * t));
    if (solid) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawRoundedRect(track.translated(2, 2), radius, radius);
    }
    painter.setBrush(fill);
    painter.setPen(solid ? QPen(ink, w) : Qt::NoPen);
    painter.drawRoundedRect(track, radius, radius);

    const double inset = solid ? 3.5 : 2;
    const double d = track.height() - 2 * inset;
    const double x = track.left() + inset + (track.width() - 2 * inset - d) * t;
    painter.setBrush(solid ? QColor(255, 252, 246) : QColor(Qt::white));
    painter.setPen(solid ? QPen(ink, 1.5) : QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + inset, d, d));
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(themeAccent(theme), 1.5));
        painter.drawRoundedRect(track.adjusted(-2, -2, 2, 2), radius + 2, radius + 2);
    }
}

}  // namespace zarvex
