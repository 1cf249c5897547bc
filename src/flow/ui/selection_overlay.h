#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "flow/selection_model.h"

namespace zarvex {

// The red of the selection's outlines and of the recording frame.
QColor selectionAccent();

// The dimming window over one display while the user selects: it shows the
// current choice and forwards the pointer to the shared model in its own
// view coordinates. Without a compositing manager it shows a still picture of
// the display, dimmed, instead of the live screen.
//
// Return and keypad Enter confirm on press; Escape cancels on release, and
// only when it was pressed here, so the release of a hotkey that opened the
// overlay cannot cancel it. Other keys are swallowed.
class SelectionOverlay : public QWidget {
    Q_OBJECT
  public:
    // `still`: the display's picture to draw under the dimming; null when a
    // compositing manager shows the screen through the window.
    SelectionOverlay(SelectionModel& model, ShareableDisplay display, QImage still,
                     std::function<void()> onReturn, std::function<void()> onEscape);

    const ShareableDisplay& display() const { return display_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

  private:
    void updateCursor();
    Point global(const QPointF& local) const;
    void drawSizeLabel(QPainter& painter, const QRectF& rect);
    void drawHint(QPainter& painter, const QString& text);

    QPointer<SelectionModel> model_;
    ShareableDisplay display_;
    QImage still_;
    std::function<void()> onReturn_;
    std::function<void()> onEscape_;
    bool escapePressed_ = false;
};

}  // namespace zarvex
