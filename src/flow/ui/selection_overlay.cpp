#include "flow/ui/selection_overlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "flow/ui/screen_geometry.h"
#include "ui/look.h"

namespace zarvex {
namespace {

// The hint in the middle of an overlay: larger than the size label, in the
// same black box.
constexpr double kHintFontSize = 15;
constexpr double kHintPadding = 14;
constexpr double kHintRadius = 10;

}  // namespace

QColor selectionAccent() {
    return QColor(255, 59, 48);
}

SelectionOverlay::SelectionOverlay(SelectionModel& model, ShareableDisplay display, QImage still,
                                   std::function<void()> onReturn, std::function<void()> onEscape)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      model_(&model),
      display_(std::move(display)),
      still_(std::move(still)),
      onReturn_(std::move(onReturn)),
      onEscape_(std::move(onEscape)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground, still_.isNull());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Zarvex selection"));
    setGeometry(toQRectF(display_.frame).toRect());
    connect(&model, &SelectionModel::changed, this, [this] {
        update();
        updateCursor();
    });
    updateCursor();
}

Point SelectionOverlay::global(const QPointF& local) const {
    return {display_.frame.x + local.x(), display_.frame.y + local.y()};
}

void SelectionOverlay::updateCursor() {
    const bool region = model_ && model_->selection().mode == CaptureMode::region;
    setCursor(region ? Qt::CrossCursor : Qt::ArrowCursor);
}

void SelectionOverlay::enterEvent(QEnterEvent* event) {
    updateCursor();
    QWidget::enterEvent(event);
}

void SelectionOverlay::mousePressEvent(QMouseEvent* event) {
    if (model_ && event->button() == Qt::LeftButton) {
        activateWindow();
        model_->press(display_, toPoint(event->position()), global(event->position()));
    }
}

void SelectionOverlay::mouseMoveEvent(QMouseEvent* event) {
    if (!model_) {
        return;
    }
    updateCursor();
    if ((event->buttons() & Qt::LeftButton) != 0) {
        model_->drag(display_, toPoint(event->position()));
    } else {
        model_->hover(global(event->position()));
    }
}

void SelectionOverlay::mouseReleaseEvent(QMouseEvent* event) {
    if (model_ && event->button() == Qt::LeftButton) {
        model_->release();
    }
}

void SelectionOverlay::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        escapePressed_ = !event->isAutoRepeat() || escapePressed_;
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
               !event->isAutoRepeat() && onReturn_) {
        onReturn_();
    }
    event->accept();
}

void SelectionOverlay::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat() && escapePressed_) {
        escapePressed_ = false;
        if (onEscape_) {
            onEscape_();
        }
    }
    event->accept();
}

void SelectionOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bounds = rect();
    paintStillOrClear(painter, bounds, still_);
    if (!model_) {
        return;
    }
    const QColor dim(0, 0, 0, qRound(255 * kDimAlpha));
    if (model_->windowsChosenOnDesktop() && model_->selection().mode == CaptureMode::window) {
        // Where the desktop's chooser picks windows, the overlay cannot show
        // them: it says what a click does.
        painter.fillRect(bounds, dim);
        drawHint(painter,
                 model_->selection().windowPick
                     ? QStringLiteral("Window chosen. Click to choose another.")
                     : QStringLiteral("Click to choose a window in your desktop's dialog."));
        return;
    }
    const OverlayLook look = overlayLook(model_->selection(), display_);
    switch (look.kind) {
        case OverlayLook::Kind::dimmed:
            painter.fillRect(bounds, dim);
            return;
        case OverlayLook::Kind::selectedDisplay:
            break;
        case OverlayLook::Kind::cutOut: {
            QPainterPath outside;
            outside.setFillRule(Qt::OddEvenFill);
            outside.addRect(bounds);
            outside.addRect(toQRectF(look.rect));
            painter.fillPath(outside, dim);
            break;
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = look.stroke == OverlayLook::Stroke::accent ? selectionAccent() : Qt::white;
    painter.setPen(QPen(ink, look.lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(toQRectF(look.rect));
    if (look.kind == OverlayLook::Kind::cutOut) {
        drawSizeLabel(painter, toQRectF(look.rect));
    }
}

void SelectionOverlay::drawHint(QPainter& painter, const QString& text) {
    const QFont font = themeFont(FontDesign::defaultDesign, kHintFontSize, QFont::Medium);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QSizeF box(metrics.horizontalAdvance(text) + 2 * kHintPadding,
                     metrics.height() + 2 * kHintPadding);
    const QRectF area(QPointF(rect().center()) - QPointF(box.width() / 2, box.height() / 2), box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, qRound(255 * kSizeLabelAlpha)));
    painter.drawRoundedRect(area, kHintRadius, kHintRadius);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, text);
}

void SelectionOverlay::drawSizeLabel(QPainter& painter, const QRectF& rect) {
    const QFont font = themeFont(FontDesign::defaultDesign, kSizeLabelFontSize, QFont::Medium);
    painter.setFont(font);
    const QString text =
        QString::fromStdString(sizeLabelText({rect.width(), rect.height()}, devicePixelRatioF()));
    const QFontMetricsF metrics(font);
    const Size textSize{metrics.horizontalAdvance(text), metrics.height()};
    const QRectF box =
        toQRectF(sizeLabelBox(toRect(rect), textSize, {width() * 1.0, height() * 1.0}));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, qRound(255 * kSizeLabelAlpha)));
    painter.drawRoundedRect(box, kSizeLabelRadius, kSizeLabelRadius);
    painter.setPen(Qt::white);
    painter.drawText(
        box.adjusted(kSizeLabelPadding, kSizeLabelPadding, -kSizeLabelPadding, -kSizeLabelPadding),
        Qt::AlignLeft | Qt::AlignTop, text);
}

}  // namespace zarvex
