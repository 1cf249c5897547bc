#include "flow/ui/camera_preview_window.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "capture/indicator_geometry.h"
#include "flow/ui/screen_geometry.h"
#include "media/frame_converter.h"

namespace zarvex {

// Runs on the camera's threads: pictures are converted there, one at a time
// (a picture that arrives while the window has not taken the last one is
// dropped), and everything reaches the window by queued calls.
class CameraPreviewWindow::Bridge final : public CameraPreview {
  public:
    explicit Bridge(CameraPreviewWindow& window) : window_(&window) {}

    void show() override {
        QMetaObject::invokeMethod(window_, &CameraPreviewWindow::showPreview, Qt::QueuedConnection);
    }
    void hide() override {
        QMetaObject::invokeMethod(window_, &CameraPreviewWindow::hidePreview, Qt::QueuedConnection);
    }
    void present(const CameraFrame& frame) override {
        if (busy_->exchange(true)) {
            return;
        }
        const VideoFrame bgra = converter_.toBgra(frame.image);
        const QImage full(bgra.data[0], bgra.width, bgra.height, bgra.stride[0],
                          QImage::Format_ARGB32_Premultiplied);
        // Enough pixels for the circle on a dense screen; mirrored like a mirror.
        const int side = static_cast<int>(kCameraPreviewSize * 2);
        QImage picture =
            full.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                .mirrored(true, false);
        QMetaObject::invokeMethod(
            window_,
            [window = window_, busy = busy_, picture = std::move(picture)]() mutable {
                window->setPicture(std::move(picture));
                *busy = false;
            },
            Qt::QueuedConnection);
    }

  private:
    CameraPreviewWindow* window_;
    FrameConverter converter_;
    std::shared_ptr<std::atomic<bool>> busy_ = std::make_shared<std::atomic<bool>>(false);
};

CameraPreviewWindow::CameraPreviewWindow(bool translucent)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus),
      translucent_(translucent) {
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zarvex camera"));
    setFixedSize(static_cast<int>(kCameraPreviewSize), static_cast<int>(kCameraPreviewSize));
    setCursor(Qt::OpenHandCursor);
}

std::unique_ptr<CameraPreview> CameraPreviewWindow::preview() {
    return std::make_unique<Bridge>(*this);
}

void CameraPreviewWindow::showPreview() {
    wanted_ = true;
    if (!placed_) {
        QScreen* screen = screenAt(toPoint(QCursor::pos()));
        frame_ = toQRectF(cameraPreviewFrame(toRect(screen->availableGeometry())));
        if (host_) {
            host_(*this, frame_);
        } else {
            move(frame_.topLeft().toPoint());
        }
        placed_ = true;
    }
    if (heldBack_) {
        return;
    }
    show();
    raise();
}

void CameraPreviewWindow::hidePreview() {
    wanted_ = false;
    hide();
}

void CameraPreviewWindow::holdBack(bool held) {
    heldBack_ = held;
    if (held) {
        hide();
    } else if (wanted_) {
        show();
        raise();
    }
}

QRectF CameraPreviewWindow::frame() const {
    return frame_;
}

void CameraPreviewWindow::setPicture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

void CameraPreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!translucent_) {
        setMask(QRegion(rect(), QRegion::Ellipse));
    }
}

void CameraPreviewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintStillOrClear(painter, rect());

    const QRectF circle = QRectF(rect());
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    painter.fillRect(circle, Qt::black);
    if (!picture_.isNull()) {
        // Fill the circle, cutting the longer side (aspect fill).
        const QSizeF scaled =
            QSizeF(picture_.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(circle.center().x() - scaled.width() / 2,
                            circle.center().y() - scaled.height() / 2, scaled.width(),
                            scaled.height());
        painter.drawImage(target, picture_);
    }
    painter.setClipping(false);
    QColor border(Qt::white);
    border.setAlphaF(static_cast<float>(kCameraPreviewBorderAlpha));
    painter.setPen(QPen(border, kCameraPreviewBorder));
    painter.setBrush(Qt::NoBrush);
    const double half = kCameraPreviewBorder / 2;
    painter.drawEllipse(circle.adjusted(half, half, -half, -half));
}

void CameraPreviewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_ = event->globalPosition().toPoint() - pos();
        setCursor(Qt::ClosedHandCursor);
    }
}

void CameraPreviewWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) {
        const QPoint to = event->globalPosition().toPoint() - *dragOffset_;
        frame_.translate(to - pos());
        move(to);
    }
}

void CameraPreviewWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragOffset_.reset();
        setCursor(Qt::OpenHandCursor);
    }
}

}  // namespace zarvex
