#pragma once

// Between the capture layer's plain geometry (global points, y down) and Qt's
// (logical pixels, the same space on X11), and the screens of the displays.

#include <QImage>
#include <QRectF>

#include <functional>

#include "capture/shareable_content.h"
#include "model/geometry.h"

class QPainter;
class QScreen;
class QWidget;

namespace zarvex {

inline QRectF toQRectF(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}
inline Rect toRect(const QRectF& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}
inline QPointF toQPointF(const Point& point) {
    return {point.x, point.y};
}
inline Point toPoint(const QPointF& point) {
    return {point.x(), point.y()};
}

// Where a flow window goes when it cannot place itself (on Wayland): the host
// takes the window in at `frame` (global points) and shows it there when it is
// shown. Empty: the window is a top-level window that places itself.
using ViewHost = std::function<void(QWidget& view, const QRectF& frame)>;

// The screen showing a display: the one of the same output name, else the one
// with the same geometry, else the primary screen.
QScreen* screenForDisplay(const ShareableDisplay& display);

// The screen under `globalPoint`, else the primary one.
QScreen* screenAt(const Point& globalPoint);

// Starts a window's painting: `still` (what was on screen under it) stretched
// over `area`, or, without one, the area cleared to transparent for a
// compositing manager to show what lies behind.
void paintStillOrClear(QPainter& painter, const QRectF& area, const QImage& still = {});

// What `screen` shows now in `area` (global points; the whole screen when
// empty), at the screen's pixel density. Null when it cannot be read.
QImage grabScreen(QScreen* screen, const QRectF& area = {});

}  // namespace zarvex
