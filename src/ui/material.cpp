#include "ui/material.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "ui/blur.h"
#include "ui/look.h"
#include "ui/x11/compositing.h"

namespace zarvex {

bool UltraThinMaterial::inTranslucentWindow(const QWidget& widget) {
    const QWidget* window = widget.window();
    return window && window->testAttribute(Qt::WA_TranslucentBackground);
}

QImage UltraThinMaterial::snapshotBehind(const QWidget& widget) {
    if (!compositingManagerRunning()) {
        return {};
    }
    const QRect global(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    QScreen* screen = QGuiApplication::screenAt(global.center());
    if (!screen) {
        return {};
    }
    const QRect local = global.translated(-screen->geometry().topLeft());
    const QImage shot =
        screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    return blurredImage(shot, kBlurSigma * shot.devicePixelRatio());
}

void UltraThinMaterial::paint(QPainter& painter, const QPainterPath& shape, const QWidget& widget,
                              const Theme& theme, const QImage& behind) {
    const QColor tint = toQColor(theme.panelTint);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (inTranslucentWindow(widget)) {
        if (!behind.isNull()) {
            painter.setClipPath(shape);
            painter.drawImage(widget.rect(), behind);
            painter.setClipping(false);
            painter.fillPath(shape, tint);
        } else {
            // Nothing shows through: the tint over the window colour, opaque.
            QColor base = widget.palette().color(QPalette::Window);
            const double a = tint.alphaF();
            const QColor opaque =
                QColor::fromRgbF(static_cast<float>(tint.redF() * a + base.redF() * (1 - a)),
                                 static_cast<float>(tint.greenF() * a + base.greenF() * (1 - a)),
                                 static_cast<float>(tint.blueF() * a + base.blueF() * (1 - a)));
            painter.fillPath(shape, opaque);
        }
    } else {
        painter.fillPath(shape, tint);
    }
    painter.restore();
}

}  // namespace zarvex
