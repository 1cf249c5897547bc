#include "editor/player_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <chrono>

#include "editor/frame_view.h"
#include "editor/player_time_model.h"
#include "editor/zoom_editor.h"
#include "render/geometry.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/themed_bar.h"

namespace zarvex {
namespace {

Rect toRect(const QRectF& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QRectF toQRectF(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

double mediaClockSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// Above the picture: draws the bubble's outline and takes the pointer.
class PlayerView::Overlay : public QWidget {
  public:
    explicit Overlay(PlayerView& view) : QWidget(&view), view_(view) {
        setMouseTracking(true);
        setAttribute(Qt::WA_NoSystemBackground);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        view_.paintOutline(painter);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPointF p = event->position();
        if (view_.pressedOnBubble_ && !view_.draggingBubble_ &&
            QLineF(p, view_.pressPoint_).length() >= kBubbleDragMinimumDistance) {
            view_.setDragging(true);
        }
        if (view_.draggingBubble_) {
            view_.moveBubble(p, false);
            return;
        }
        if (view_.draggingCentre_) {
            view_.dragCentre(p, false);
            return;
        }
        view_.setHovering(view_.bubbleRect().contains(p));
        if (!view_.hovering_) {
            setCursor(view_.canDragCentre(p) ? Qt::SizeAllCursor : Qt::ArrowCursor);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && view_.bubbleRect().contains(event->position())) {
            view_.pressedOnBubble_ = true;
            view_.pressPoint_ = event->position();
            return;
        }
        if (event->button() == Qt::LeftButton && view_.canDragCentre(event->position())) {
            view_.draggingCentre_ = true;
            view_.pressPoint_ = event->position();
            view_.zoom_->beginCentreDrag();
            return;
        }
        event->ignore();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        if (view_.draggingCentre_) {
            view_.dragCentre(event->position(), true);
            view_.draggingCentre_ = false;
            return;
        }
        if (view_.draggingBubble_) {
            view_.moveBubble(event->position(), true);
            view_.setDragging(false);
        }
        view_.pressedOnBubble_ = false;
        view_.setHovering(view_.bubbleRect().contains(event->position()));
    }
    void leaveEvent(QEvent*) override {
        if (!view_.draggingBubble_) {
            view_.setHovering(false);
        }
    }

  private:
    PlayerView& view_;
};

PlayerView::PlayerView(ProjectDocument& document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      time_(std::make_unique<PlayerTimeModel>(document.player())),
      frameView_(new FrameView(this)),
      overlay_(new Overlay(*this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QPalette palette = frameView_->palette();
    palette.setColor(frameView_->backgroundRole(), Qt::black);
    frameView_->setPalette(palette);
    frameView_->setPlayer(&document_.player());
    frameView_->installEventFilter(this);
    overlay_->raise();
    outlineFade_.setDuration(kBubbleOutlineFadeMs);
    outlineFade_.setEasingCurve(QEasingCurve::InOutQuad);
    outlineFade_.setStartValue(0.0);
    outlineFade_.setEndValue(0.0);
    connect(&outlineFade_, &QVariantAnimation::valueChanged, overlay_,
            [this] { updateBubble(bubbleRect()); });
    connect(&document_, &ProjectDocument::styleChanged, this, &PlayerView::relayout);
    connect(&document_, &ProjectDocument::isLoadedChanged, this, &PlayerView::relayout);
}

PlayerView::~PlayerView() {
    frameView_->setPlayer(nullptr);
}

QSize PlayerView::sizeHint() const {
    return {760, 480};
}

QSize PlayerView::minimumSizeHint() const {
    return {240, 160};
}

QRectF PlayerView::videoRect() const {
    const Size canvas = canvasSize(document_.style().aspect, document_.screenSize());
    // Room around the canvas for its frame's shadow, as the bars keep for
    // theirs, so the edges line up.
    const QMarginsF room(themedBarShadowMargins(ApplicationTheme::current()));
    const QRectF area = QRectF(rect()).marginsRemoved(room);
    return toQRectF(fittedRect(canvas, toRect(area)));
}

QRectF PlayerView::bubbleRect() const {
    const WebcamSpec& webcam = document_.style().webcam;
    if (!document_.webcamTrackID() || webcam.hidden || !document_.isLoaded()) {
        return {};
    }
    const Size canvas = canvasSize(document_.style().aspect, document_.screenSize());
    return toQRectF(bubbleViewRect(webcam, canvas, toRect(videoRect())));
}

QRectF PlayerView::screenRect() const {
    const Size canvas = canvasSize(document_.style().aspect, document_.screenSize());
    const std::optional<ScreenLayout> layout =
        layoutScreen(document_.style(), canvas, document_.screenSize());
    const QRectF video = videoRect();
    if (!layout || !(canvas.width > 0) || video.isEmpty()) {
        return {};
    }
    // Canvas y grows upwards, the view's downwards.
    const double k = video.width() / canvas.width;
    const Rect& r = layout->screenRect;
    return {video.x() + r.x * k, video.y() + (canvas.height - r.maxY()) * k, r.width * k,
            r.height * k};
}

double PlayerView::outlineOpacity() const {
    return outlineFade_.currentValue().toDouble();
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

// Repaints only what moved: every style edit passes here, and a repaint of
// the whole view would draw the window's backdrop under it again each time.
void PlayerView::relayout() {
    const QRectF video = videoRect();
    const QRectF bubble = bubbleRect();
    overlay_->setGeometry(rect());
    if (video != shownVideo_) {
        shownVideo_ = video;
        frameView_->setGeometry(video.toAlignedRect());
        update();
    } else if (bubble != shownBubble_) {
        updateBubble(shownBubble_);
        updateBubble(bubble);
    }
    shownBubble_ = bubble;
    if (bubble.isEmpty() && !draggingBubble_) {
        setHovering(false);
    }
}

void PlayerView::updateBubble(const QRectF& bubble) {
    if (!bubble.isEmpty()) {
        overlay_->update(bubble.adjusted(-2, -2, 2, 2).toAlignedRect());
    }
}

void PlayerView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        shownVideo_ = {};  // the frame's room differs by theme
        relayout();
    }
    QWidget::changeEvent(event);
}

bool PlayerView::eventFilter(QObject* watched, QEvent* event) {
    // The frame view lies under the overlay; keep the overlay on top of it.
    if (watched == frameView_ && event->type() == QEvent::ZOrderChange) {
        overlay_->raise();
    }
    return QWidget::eventFilter(watched, event);
}

void PlayerView::paintEvent(QPaintEvent*) {
    const QRectF video = videoRect();
    if (video.isEmpty() || !document_.isLoaded()) {
        return;
    }
    QPainter painter(this);
    // The canvas sits on the stage like a panel: soft shadow and light edge,
    // or the ink outline with its hard shadow in a retro theme.
    const Theme& theme = ApplicationTheme::current();
    const double edge = theme.panelColor ? theme.outlineWidth : 1;
    paintThemedBar(painter, video.adjusted(-edge, -edge, edge, edge), 0, *this, theme);
}

void PlayerView::paintOutline(QPainter& painter) const {
    const double opacity = outlineOpacity();
    const QRectF bubble = bubbleRect();
    if (opacity <= 0 || bubble.isEmpty()) {
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.setPen(QPen(Qt::white, kBubbleOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    const double radius = bubbleOutlineRadius(document_.style().webcam, bubble.width());
    painter.drawRoundedRect(bubble, radius, radius);
}

void PlayerView::setHovering(bool hovering) {
    if (hovering != hovering_) {
        hovering_ = hovering;
        overlay_->setCursor(hovering ? Qt::OpenHandCursor : Qt::ArrowCursor);
        fadeOutline();
    }
}

void PlayerView::setDragging(bool dragging) {
    if (dragging != draggingBubble_) {
        draggingBubble_ = dragging;
        overlay_->setCursor(dragging ? Qt::ClosedHandCursor
                                     : (hovering_ ? Qt::OpenHandCursor : Qt::ArrowCursor));
        fadeOutline();
    }
}

void PlayerView::fadeOutline() {
    const double target = draggingBubble_ ? kBubbleOutlineDragOpacity
                          : hovering_     ? kBubbleOutlineHoverOpacity
                                          : 0.0;
    outlineFade_.stop();
    outlineFade_.setStartValue(outlineOpacity());
    outlineFade_.setEndValue(target);
    outlineFade_.start();
}

bool PlayerView::canDragCentre(QPointF pointer) const {
    return zoom_ != nullptr && zoom_->selectedSegment() != nullptr && document_.isLoaded() &&
           screenRect().contains(pointer);
}

void PlayerView::dragCentre(QPointF pointer, bool final) {
    const QRectF screen = screenRect();
    if (zoom_ == nullptr || screen.isEmpty() ||
        !centreThrottle_.admit(mediaClockSeconds(), final)) {
        return;
    }
    zoom_->dragCentre((pointer.x() - pressPoint_.x()) / screen.width(),
                      (pointer.y() - pressPoint_.y()) / screen.height());
}

void PlayerView::moveBubble(QPointF pointer, bool final) {
    if (!throttle_.admit(mediaClockSeconds(), final)) {
        return;
    }
    StyleSettings style = document_.style();
    const Size canvas = canvasSize(style.aspect, document_.screenSize());
    const std::optional<Point> centre = draggedBubbleCentre(
        {pointer.x(), pointer.y()}, toRect(videoRect()), canvas, style.webcam.sizeFraction);
    if (!centre) {
        return;
    }
    style.webcam.positionX = centre->x;
    style.webcam.positionY = centre->y;
    document_.setStyle(style);
}

}  // namespace zarvex
