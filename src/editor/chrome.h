#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include "model/theme.h"

class QLabel;
class QPainter;
class QStackedWidget;
class QToolButton;

// Small drawing pieces shared by the editor's custom widgets, so tracks,
// handles and dividers look like the themed sliders and panels around them.
namespace zarvex {

// A tool button showing a symbol (tinted by the palette), with its help text.
QToolButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);

// A label in a text role of the style sheet ("caption", "secondary", "title").
QLabel* roleLabel(const QString& text, const QString& role, QWidget* parent = nullptr);

// The colours of a slider track in a theme: the groove, and the part before
// the handle in the accent.
QColor trackGrooveColor(const Theme& theme);
QColor trackFillColor(const Theme& theme);
// A round slider handle of `diameter` centred on `center`: light on the dark
// stage, the panel colour with an ink outline in a retro theme.
void paintSliderHandle(QPainter& painter, QPointF center, double diameter, const Theme& theme);
// The divider colour inside panels: the hairline, softened when it is ink.
QColor dividerColor(const Theme& theme);

// Shows page `index` of `stack`, which then takes that page's height rather
// than its tallest page's.
void showStackPage(QStackedWidget& stack, int index);

// `text` with a break opportunity after every "/", so a long path wraps.
QString breakablePath(const QString& text);

// Fills a window of its own (a popover, a sheet) as a themed panel: the
// panel colour with the theme's edge, without the shadow a framed window gets
// from the window manager.
void paintPopupPanel(QPainter& painter, const QWidget& window);

// A symbol drawn at a fixed size, in the palette's text colour (so it
// follows the theme) or in one fixed colour.
class SymbolView : public QWidget {
    Q_OBJECT
  public:
    SymbolView(const QString& symbol, int size, QColor color = {}, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {size_, size_}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString symbol_;
    int size_;
    QColor color_;
};

// A one-point divider line in the theme's divider colour.
class Divider : public QWidget {
    Q_OBJECT
  public:
    explicit Divider(Qt::Orientation orientation, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zarvex
