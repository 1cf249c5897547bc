#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRect>

#include "model/theme.h"

class QPainter;
class QWidget;

namespace zarvex {

// The ultra-thin material of translucent panels: the theme's panel tint over
// a blurred copy of what lies behind.
// - Inside an opaque window what lies behind is the window's own background,
//   already drawn by the parent, so only the tint is added.
// - In a translucent top-level window with a compositing manager the desktop
//   shows through: `behind` is a blurred snapshot of the screen under the
//   window (see snapshotBehind), then the tint.
// - In a translucent window without a compositing manager nothing would show
//   through: the tint is made opaque over the palette's window colour.
class UltraThinMaterial {
  public:
    // Blur of the snapshot, in points (a Gaussian's standard deviation).
    static constexpr double kBlurSigma = 15;

    // Takes the blurred snapshot of the screen under `widget` (global
    // coordinates of its rectangle); call it before the window maps, or it
    // sees itself. Empty without a compositing manager or off-screen.
    static QImage snapshotBehind(const QWidget& widget);

    // Fills `shape` (widget coordinates) of `widget` with the material.
    static void paint(QPainter& painter, const QPainterPath& shape, const QWidget& widget,
                      const Theme& theme, const QImage& behind = {});

    // Whether `widget` sits in a translucent top-level window.
    static bool inTranslucentWindow(const QWidget& widget);
};

}  // namespace zarvex
