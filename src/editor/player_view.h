#pragma once

#include <QVariantAnimation>
#include <QWidget>

#include "editor/bubble_drag.h"

namespace zarvex {

class FrameView;
class PlayerTimeModel;
class ProjectDocument;
class ZoomEditor;

// The styled preview: the document's player drawn at the canvas fitted into
// the view, framed in the theme's panel style, with the webcam bubble's
// outline shown while the pointer is over it. Dragging the bubble (from 10
// points on) places it freely: at most one style change per 0.04 s, and
// always the final position. Owns the window's time model.
class PlayerView : public QWidget {
    Q_OBJECT
  public:
    explicit PlayerView(ProjectDocument& document, QWidget* parent = nullptr);
    ~PlayerView() override;

    PlayerTimeModel& time() { return *time_; }
    // While the editor has a zoom segment selected, dragging the screen
    // picture moves that segment's centre (as often as the bubble's moves).
    void setZoomEditor(ZoomEditor* zoom) { zoom_ = zoom; }
    // The screen picture's rectangle within videoRect(), in view coordinates.
    QRectF screenRect() const;
    FrameView* frameView() const { return frameView_; }

    // The canvas of the current style fitted into the view, and the bubble's
    // square on it (empty without a visible webcam), in view coordinates.
    QRectF videoRect() const;
    QRectF bubbleRect() const;

    bool hovering() const { return hovering_; }
    bool draggingBubble() const { return draggingBubble_; }
    // The outline's opacity now (it fades over 0.15 s).
    double outlineOpacity() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Overlay;
    friend class Overlay;
    void relayout();
    void updateBubble(const QRectF& bubble);
    void paintOutline(QPainter& painter) const;
    void setHovering(bool hovering);
    void setDragging(bool dragging);
    void fadeOutline();
    void moveBubble(QPointF pointer, bool final);
    bool canDragCentre(QPointF pointer) const;
    void dragCentre(QPointF pointer, bool final);

    ProjectDocument& document_;
    std::unique_ptr<PlayerTimeModel> time_;
    FrameView* frameView_;
    Overlay* overlay_;
    bool hovering_ = false;
    bool draggingBubble_ = false;
    bool pressedOnBubble_ = false;
    QPointF pressPoint_;
    BubbleDragThrottle throttle_;
    QRectF shownVideo_;
    QRectF shownBubble_;
    QVariantAnimation outlineFade_;
    ZoomEditor* zoom_ = nullptr;
    bool draggingCentre_ = false;
    BubbleDragThrottle centreThrottle_;
};

}  // namespace zarvex
