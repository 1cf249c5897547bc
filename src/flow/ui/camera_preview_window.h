#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <atomic>
#include <memory>

#include "capture/camera_manager.h"
#include "flow/ui/screen_geometry.h"

namespace zarvex {

// The round camera preview: 160 points across, a 2-point white border at
// 0.9, the picture mirrored and filling the circle. It first appears at the
// bottom right of the screen under the pointer, 24 points in from the usable
// area's edges; the user may drag it anywhere and it stays there for later
// recordings. Above other windows, never focused; the program's own windows
// are left out of recordings, so it never shows in one.
class CameraPreviewWindow : public QWidget {
    Q_OBJECT
  public:
    explicit CameraPreviewWindow(bool translucent);

    // The preview as the camera manager drives it: safe from any thread,
    // carried out on this window's (main) thread. The window must outlive it.
    std::unique_ptr<CameraPreview> preview();

    // The picture shown (mirrored, not yet cut to the circle).
    const QImage& picture() const { return picture_; }

    void showPreview();
    void hidePreview();

    // Where the preview goes when it cannot place itself (Wayland).
    void setHost(ViewHost host) { host_ = std::move(host); }
    // Kept off the screen while held back (it would show in a recording);
    // shown again when let go, if the camera still wants it.
    void holdBack(bool held);
    // Where the preview is, in global points; empty before it was first shown.
    QRectF frame() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class Bridge;
    void setPicture(QImage picture);

    bool translucent_;
    ViewHost host_;
    bool placed_ = false;
    bool wanted_ = false;
    bool heldBack_ = false;
    QRectF frame_;
    QImage picture_;
    std::optional<QPoint> dragOffset_;
};

}  // namespace zarvex
