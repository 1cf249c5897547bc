#include "flow/ui/recording_frame_window.h"

#include <QPainter>
#include <QRegion>
#include <QScreen>

#include "flow/ui/screen_geometry.h"
#include "flow/ui/selection_overlay.h"

namespace zarvex {
namespace {

constexpr int kRaiseIntervalMs = 1000;

}  // namespace

RecordingFrameWindow::RecordingFrameWindow(const QRectF& frame, bool translucent, ViewHost host)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      translucent_(translucent),
      host_(std::move(host)) {
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zarvex recording frame"));
    setGeometry(frame.toAlignedRect());
    if (host_) {
        host_(*this, frame);
    }
    raise_.setInterval(kRaiseIntervalMs);
    connect(&raise_, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            raise();
        }
    });
    raise_.start();
}

void RecordingFrameWindow::setFrame(const Rect& frame) {
    if (host_) {
        host_(*this, toQRectF(frame));
        return;
    }
    const QRect wanted = toQRectF(frame).toAlignedRect();
    if (geometry() != wanted) {
        setGeometry(wanted);
    }
}

void RecordingFrameWindow::orderOut() {
    hide();
}

void RecordingFrameWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!translucent_) {
        // Whole pixels around the line: it spans 0 … 2.5 points from the edge.
        const int line = static_cast<int>(std::ceil(kFrameLineInset * 2));
        setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(line, line, -line, -line))));
    }
    update();
}

void RecordingFrameWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintStillOrClear(painter, rect());
    painter.setRenderHint(QPainter::Antialiasing);
    QColor red = selectionAccent();
    red.setAlphaF(static_cast<float>(kFrameAlpha));
    painter.setPen(QPen(red, kFrameLineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(toQRectF(frameOutline({width() * 1.0, height() * 1.0})));
}

namespace {

class NoFrame final : public RecordingFrame {
  public:
    void setFrame(const Rect&) override {}
    void orderOut() override {}
};

}  // namespace

RecordingIndicator::FrameFactory recordingFrameWindows(bool translucent, ViewHost host) {
    return [translucent, host](const Rect& frame) -> std::unique_ptr<RecordingFrame> {
        const QRectF area = toQRectF(frame);
        if (host && area.contains(screenAt({frame.midX(), frame.midY()})->geometry())) {
            return std::make_unique<NoFrame>();
        }
        auto window = std::make_unique<RecordingFrameWindow>(area, translucent, host);
        window->show();
        window->raise();
        return window;
    };
}

}  // namespace zarvex
