#include "flow/ui/screen_geometry.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace zarvex {

QScreen* screenForDisplay(const ShareableDisplay& display) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) {
        if (screen->name().toStdString() == display.name) {
            return screen;
        }
    }
    for (QScreen* screen : screens) {
        if (QRectF(screen->geometry()) == toQRectF(display.frame)) {
            return screen;
        }
    }
    return QGuiApplication::primaryScreen();
}

QScreen* screenAt(const Point& globalPoint) {
    QScreen* screen = QGuiApplication::screenAt(toQPointF(globalPoint).toPoint());
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

void paintStillOrClear(QPainter& painter, const QRectF& area, const QImage& still) {
    if (still.isNull()) {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, Qt::transparent);
        painter.restore();
    } else {
        painter.drawImage(area, still);
    }
}

QImage grabScreen(QScreen* screen, const QRectF& area) {
    if (screen == nullptr) {
        return {};
    }
    const QRect whole = screen->geometry();
    const QRect wanted = area.isEmpty() ? whole : area.toAlignedRect().intersected(whole);
    // grabWindow(0) takes coordinates relative to the screen.
    return screen
        ->grabWindow(0, wanted.x() - whole.x(), wanted.y() - whole.y(), wanted.width(),
                     wanted.height())
        .toImage();
}

}  // namespace zarvex
