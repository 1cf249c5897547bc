#include "ui/themed_bar.h"

#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "ui/application_theme.h"
#include "ui/blur.h"
#include "ui/look.h"
#include "ui/material.h"

namespace zarvex {
namespace {

// The soft shadow of a rounded rectangle of `size`, blurred once per size.
QImage softShadow(const QSizeF& size, double radius, double ratio) {
    static QHash<QString, QImage> cache;
    const QString key =
        QStringLiteral("%1x%2r%3@%4").arg(size.width()).arg(size.height()).arg(radius).arg(ratio);
    if (const auto it = cache.constFind(key); it != cache.constEnd()) {
        return *it;
    }
    const double margin = 2 * kBarSoftShadowRadius;
    const QSizeF full = size + QSizeF(2 * margin, 2 * margin);
    QImage image((full * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(ratio, ratio);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, qRound(255 * kBarSoftShadowOpacity)));
        p.drawRoundedRect(QRectF(QPointF(margin, margin), size), radius, radius);
    }
    // A shadow "radius" spreads about twice the Gaussian's sigma.
    image = blurredImage(image, kBarSoftShadowRadius / 2 * ratio);
    image.setDevicePixelRatio(ratio);
    if (cache.size() > 32) {
        cache.clear();
    }
    cache.insert(key, image);
    return image;
}

// Draws the soft shadow of a rounded rectangle `bar` whose blurred image is
// `full` bigger on each side. Away from its corners a blurred edge is the
// same all along, so a bar of any size is drawn from the shadow of a small
// one: its corners as they are and its edges stretched (nine slices without
// the middle, which the bar covers). Only bars too small for that are
// blurred at their own size.
void drawSoftShadow(QPainter& painter, const QRectF& bar, double radius, double ratio) {
    const double margin = 2 * kBarSoftShadowRadius;
    const QPointF origin = bar.topLeft() + QPointF(-margin, -margin + kBarSoftShadowOffsetY);
    // Beyond this far from a corner the bar's edge and its blur are straight.
    const int reach = qCeil(radius + 2 * kBarSoftShadowRadius);
    const double core = 2.0 * reach + 1;
    if (bar.width() < core || bar.height() < core) {
        painter.drawImage(origin, softShadow(bar.size(), radius, ratio));
        return;
    }
    const QImage tile = softShadow(QSizeF(core, core), radius, ratio);
    const double corner = margin + reach;  // points of the tile kept as they are
    const double full = core + 2 * margin;
    const QSizeF size = bar.size() + QSizeF(2 * margin, 2 * margin);
    // Columns and rows of the target and of the tile: corner, edge, corner.
    const double tx[] = {0, corner, size.width() - corner, size.width()};
    const double ty[] = {0, corner, size.height() - corner, size.height()};
    const double sx[] = {0, corner, full - corner, full};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (row == 1 && column == 1) {
                continue;
            }
            const QRectF target(origin.x() + tx[column], origin.y() + ty[row],
                                tx[column + 1] - tx[column], ty[row + 1] - ty[row]);
            const QRectF source(sx[column] * ratio, sx[row] * ratio,
                                (sx[column + 1] - sx[column]) * ratio,
                                (sx[row + 1] - sx[row]) * ratio);
            painter.drawImage(target, tile, source);
        }
    }
}

}  // namespace

QMargins themedBarShadowMargins(const Theme& theme) {
    if (theme.panelColor) {
        const int hard = qCeil(kBarHardShadowOffset);
        return {0, 0, hard, hard};
    }
    const int soft = qCeil(kBarSoftShadowRadius);
    return {soft, soft - qRound(kBarSoftShadowOffsetY), soft, soft + qRound(kBarSoftShadowOffsetY)};
}

void paintThemedBar(QPainter& painter, const QRectF& bar, double cornerRadius,
                    const QWidget& widget, const Theme& theme, const QImage& behind) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    if (theme.panelColor) {
        const QColor ink = themeOutline(theme);
        const double w = theme.outlineWidth;
        // The stroke is centred on the edge: inset by half its width so all of
        // it stays inside the bar.
        const QRectF edge = bar.adjusted(w / 2, w / 2, -w / 2, -w / 2);
        shape.addRoundedRect(edge, cornerRadius, cornerRadius);
        // The shadow is the whole bar, outline included, moved by 3 points.
        QPainterPath outer;
        outer.addRoundedRect(bar.translated(kBarHardShadowOffset, kBarHardShadowOffset),
                             cornerRadius, cornerRadius);
        painter.fillPath(outer, ink);
        painter.fillPath(shape, toQColor(*theme.panelColor));
        if (w > 0) {
            painter.strokePath(shape, QPen(ink, w));
        }
    } else {
        const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const double margin = 2 * kBarSoftShadowRadius;
        QPainterPath body;
        body.addRoundedRect(bar, cornerRadius, cornerRadius);
        // The shadow falls around the bar only: the material is see-through
        // and must not be darkened by it.
        QPainterPath around;
        around.addRect(bar.adjusted(-2 * margin, -2 * margin, 2 * margin, 2 * margin));
        painter.setClipPath(around.subtracted(body));
        drawSoftShadow(painter, bar, cornerRadius, ratio);
        painter.setClipping(false);
        const double w = kBarStrokeWidth;
        const QRectF edge = bar.adjusted(w / 2, w / 2, -w / 2, -w / 2);
        shape.addRoundedRect(edge, cornerRadius, cornerRadius);
        UltraThinMaterial::paint(painter, body, widget, theme, behind);
        painter.strokePath(shape, QPen(QColor(255, 255, 255, qRound(255 * kBarStrokeOpacity)), w));
    }
    painter.restore();
}

ThemedBar::ThemedBar(double cornerRadius, QWidget* parent)
    : QWidget(parent), cornerRadius_(cornerRadius) {
    restyle();
}

QRectF ThemedBar::barRect() const {
    return QRectF(rect()).marginsRemoved(QMarginsF(contentsMargins()));
}

void ThemedBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintThemedBar(painter, barRect(), cornerRadius_, *this, ApplicationTheme::current(), behind_);
}

void ThemedBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        restyle();
    }
    QWidget::changeEvent(event);
}

void ThemedBar::showEvent(QShowEvent* event) {
    // Children are shown before their window maps, so the snapshot does not
    // contain the bar itself.
    if (UltraThinMaterial::inTranslucentWindow(*this)) {
        behind_ = UltraThinMaterial::snapshotBehind(*this);
    }
    QWidget::showEvent(event);
}

void ThemedBar::restyle() {
    setContentsMargins(themedBarShadowMargins(ApplicationTheme::current()));
    update();
}

}  // namespace zarvex
