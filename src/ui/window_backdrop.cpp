#include "ui/window_backdrop.h"

#include <QEvent>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>

#include "ui/application_theme.h"
#include "ui/blur.h"
#include "ui/look.h"

namespace zarvex {
namespace {

// The blurred bloom disc, drawn at a quarter of its size and blurred there
// (cheap, and the result has no detail to lose); cached by colour.
QImage bloomImage(const QColor& color) {
    static QHash<QRgb, QImage> cache;
    if (const auto it = cache.constFind(color.rgba()); it != cache.constEnd()) {
        return *it;
    }
    constexpr double scale = 0.25;
    const double margin = 3 * kBloomBlurSigma;
    const int side = qCeil((kBloomDiameter + 2 * margin) * scale);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(
            QRectF(margin * scale, margin * scale, kBloomDiameter * scale, kBloomDiameter * scale));
    }
    image = blurredImage(image, kBloomBlurSigma * scale);
    cache.insert(color.rgba(), image);
    return image;
}

}  // namespace

QRectF bloomRect(const QSizeF& size) {
    return {size.width() - kBloomDiameter + kBloomShift, -kBloomShift, kBloomDiameter,
            kBloomDiameter};
}

double bloomOpacity(const Theme& theme) {
    return theme.isRetro ? kBloomOpacityRetro : kBloomOpacity;
}

void paintWindowBackdrop(QPainter& painter, const QRectF& area, const Theme& theme) {
    painter.save();
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    const QSizeF size = area.size();

    QLinearGradient gradient(QPointF(0, 0), QPointF(size.width(), size.height()));
    const auto& stops = theme.backdrop;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const double at = stops.size() == 1 ? 0.0 : double(i) / double(stops.size() - 1);
        gradient.setColorAt(at, toQColor(stops[i]));
    }
    painter.fillRect(QRectF(QPointF(0, 0), size),
                     stops.empty() ? QBrush(Qt::black) : QBrush(gradient));

    if (theme.bloom) {
        const QRectF circle = bloomRect(size);
        const double margin = 3 * kBloomBlurSigma;
        painter.setOpacity(bloomOpacity(theme));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(circle.adjusted(-margin, -margin, margin, margin),
                          bloomImage(toQColor(*theme.bloom)));
        painter.setOpacity(1);
    }

    if (theme.stageGrid) {
        QColor ink = themeOutline(theme);
        ink.setAlphaF(static_cast<float>(kStageGridOpacity));
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(ink, 1));
        for (const double x : stageGridLines(size.width(), kStageGridSpacing)) {
            painter.drawLine(QLineF(x, 0, x, size.height()));
        }
        for (const double y : stageGridLines(size.height(), kStageGridSpacing)) {
            painter.drawLine(QLineF(0, y, size.width(), y));
        }
    }
    painter.restore();
}

WindowBackdrop::WindowBackdrop(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WindowBackdrop::paintEvent(QPaintEvent*) {
    const double ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (cache_.size() != pixels) {
        cache_ = QPixmap(pixels);
        cache_.setDevicePixelRatio(ratio);
        QPainter p(&cache_);
        paintWindowBackdrop(p, QRectF(QPointF(0, 0), QSizeF(size())), ApplicationTheme::current());
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, cache_);
}

void WindowBackdrop::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        cache_ = QPixmap();
        update();
    }
    QWidget::changeEvent(event);
}

void WindowBackdrop::resizeEvent(QResizeEvent* event) {
    cache_ = QPixmap();
    QWidget::resizeEvent(event);
}

}  // namespace zarvex
