#include "flow/ui/countdown_window.h"

#include <QPainter>

#include "flow/ui/screen_geometry.h"
#include "ui/look.h"

namespace zarvex {
namespace {

QFont digitFont() {
    return themeFont(FontDesign::rounded, kCountdownDigitSize, QFont::Bold);
}

}  // namespace

CountdownWindow::CountdownWindow(int count, const QRectF& frame, QImage behind)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      count_(count),
      behind_(std::move(behind)) {
    setAttribute(Qt::WA_TranslucentBackground, behind_.isNull());
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zarvex countdown"));
    setGeometry(frame.toRect());
}

void CountdownWindow::setCount(int count) {
    count_ = count;
    update();
}

void CountdownWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    paintStillOrClear(painter, bounds, behind_);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, qRound(255 * kCountdownBadgeAlpha)));
    painter.drawRoundedRect(bounds, kCountdownBadgeRadius, kCountdownBadgeRadius);
    painter.setPen(Qt::white);
    painter.setFont(digitFont());
    painter.drawText(bounds, Qt::AlignCenter, QString::number(count_));
}

CountdownController::BadgeFactory countdownWindows(bool translucent, ViewHost host) {
    return [translucent, host](int count, const Rect& frame) -> std::unique_ptr<CountdownBadge> {
        const QRectF area = toQRectF(frame);
        QImage behind;
        if (!translucent) {
            behind = grabScreen(screenAt({frame.midX(), frame.midY()}), area);
        }
        auto window = std::make_unique<CountdownWindow>(count, area, std::move(behind));
        if (host) {
            host(*window, area);
        }
        window->show();
        window->raise();
        return window;
    };
}

}  // namespace zarvex
