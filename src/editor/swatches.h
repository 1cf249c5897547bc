#pragma once

#include <QAbstractButton>
#include <QColor>

#include "model/style.h"

namespace zarvex {

// A checkable button showing one built-in gradient as a rounded tile; the
// checked one (the current background) is ringed in the accent.
class GradientSwatch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit GradientSwatch(GradientSpec gradient, QWidget* parent = nullptr);
    const GradientSpec& gradient() const { return gradient_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    GradientSpec gradient_;
};

// A round button of one colour; checked when it is the current colour. Also
// used as the colour well (not checkable, showing any colour).
class ColorSwatch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ColorSwatch(const QColor& color, QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return color_; }
    // A well is a wider rounded rectangle instead of a circle.
    void setWell(bool well);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor color_;
    bool well_ = false;
};

// One of the four bubble corners, drawn as a small screen with a dot in that
// corner; checked for the current corner.
class CornerButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit CornerButton(WebcamSpec::Corner corner, QWidget* parent = nullptr);
    WebcamSpec::Corner corner() const { return corner_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    WebcamSpec::Corner corner_;
};

// The ring drawn around checked swatches and corners.
void paintSelectionRing(QPainter& painter, const QRectF& shape, double radius, bool round);

}  // namespace zarvex
