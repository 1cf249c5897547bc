#include "editor/frame_view.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <mutex>
#include <optional>

#include "render/player.h"

namespace zarvex {

// The view's end of the player: keeps the newest picture and asks the view,
// on its own thread, to take it; only one such request waits at a time.
class FrameViewSink : public FrameSink {
  public:
    explicit FrameViewSink(FrameView* view) : view_(view) {}

    void present(const VideoFrame& frame, MediaTime time) override {
        std::lock_guard lock(mutex_);
        pending_ = frame;
        pendingTime_ = time;
        if (view_ == nullptr || requested_) {
            return;
        }
        requested_ = true;
        QMetaObject::invokeMethod(
            view_, [view = view_] { view->takePicture(); }, Qt::QueuedConnection);
    }

    // On the view's thread: the newest picture, once.
    std::optional<std::pair<VideoFrame, MediaTime>> take() {
        std::lock_guard lock(mutex_);
        requested_ = false;
        if (pending_.empty()) {
            return std::nullopt;
        }
        auto taken = std::make_pair(std::move(pending_), pendingTime_);
        pending_ = VideoFrame();
        return taken;
    }

    void detach() {
        std::lock_guard lock(mutex_);
        view_ = nullptr;
        pending_ = VideoFrame();
    }

  private:
    std::mutex mutex_;
    FrameView* view_;
    VideoFrame pending_;
    MediaTime pendingTime_;
    bool requested_ = false;
};

namespace {

QRectF fitted(QSizeF content, const QRectF& into) {
    if (content.isEmpty() || into.isEmpty()) {
        return {};
    }
    const QSizeF size = content.scaled(into.size(), Qt::KeepAspectRatio);
    return {into.center().x() - size.width() / 2, into.center().y() - size.height() / 2,
            size.width(), size.height()};
}

}  // namespace

FrameView::FrameView(QWidget* parent)
    : QWidget(parent), sink_(std::make_shared<FrameViewSink>(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

FrameView::~FrameView() {
    sink_->detach();  // no more pictures posted to this view
    setPlayer(nullptr);
}

void FrameView::setPlayer(Player* player) {
    if (player == player_) {
        return;
    }
    if (player_ != nullptr) {
        player_->setFrameSink(nullptr);
        player_->setMaximumPictureSize({});
    }
    player_ = player;
    picture_ = VideoFrame();
    pictureTime_ = MediaTime::invalid();
    if (player_ != nullptr) {
        tellPlayerSize();
        player_->setFrameSink(sink_);
    }
    update();
}

QSize FrameView::sizeHint() const {
    return {640, 360};
}

QRectF FrameView::videoRect() const {
    QSizeF canvas;
    if (player_ != nullptr && player_->currentItem() != nullptr &&
        player_->currentItem()->videoComposition) {
        const Size size = player_->currentItem()->videoComposition->renderSize;
        canvas = QSizeF(size.width, size.height);
    }
    if (canvas.isEmpty() && !picture_.empty()) {
        canvas = QSizeF(picture_.width, picture_.height);
    }
    return fitted(canvas, QRectF(rect()));
}

void FrameView::takePicture() {
    if (std::optional<std::pair<VideoFrame, MediaTime>> taken = sink_->take()) {
        picture_ = std::move(taken->first);
        pictureTime_ = taken->second;
        pictureIsNew_ = true;
        update();
    }
}

void FrameView::tellPlayerSize() {
    toldRatio_ = devicePixelRatioF();
    if (player_ != nullptr) {
        const double ratio = toldRatio_;
        player_->setMaximumPictureSize({std::ceil(width() * ratio), std::ceil(height() * ratio)});
    }
}

void FrameView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    tellPlayerSize();
}

void FrameView::paintEvent(QPaintEvent*) {
    if (devicePixelRatioF() != toldRatio_) {
        tellPlayerSize();  // moved to a screen of another density
    }
    QPainter painter(this);
    const QRectF target = videoRect();
    const QColor background = palette().color(backgroundRole());
    if (target.isEmpty() || picture_.empty()) {
        painter.fillRect(rect(), background);
        return;
    }
    // Around the picture only; the picture covers the rest.
    QRegion around(rect());
    around -= target.toAlignedRect().adjusted(1, 1, -1, -1);
    for (const QRect& part : around) {
        painter.fillRect(part, background);
    }
    // The player's premultiplied BGRA is Qt's ARGB32_Premultiplied in memory.
    const QImage image(picture_.data[0], picture_.width, picture_.height, picture_.stride[0],
                       QImage::Format_ARGB32_Premultiplied);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    if (pictureIsNew_) {
        pictureIsNew_ = false;
        emit picturePainted(pictureTime_.seconds());
    }
}

}  // namespace zarvex
