#pragma once

#include <QWidget>

#include <memory>

#include "media/media_time.h"
#include "media/video_frame.h"

namespace zarvex {

class Player;
class FrameViewSink;

// Shows a player's pictures, scaled to fit the view with their aspect kept
// and centred; the rest is the view's background colour. Attached to a
// player, it is the player's frame sink and tells the player its size in
// device pixels, so the player draws pictures no larger than they appear.
//
// Pictures arrive on a player thread and are painted straight from the
// player's buffer: the paint is the only copy on the way to the screen. At
// most one repaint waits at a time; a newer picture replaces a waiting one.
class FrameView : public QWidget {
    Q_OBJECT
  public:
    explicit FrameView(QWidget* parent = nullptr);
    ~FrameView() override;

    // Attaches to `player` (null detaches); the previous player lets go of
    // the view. The player must outlive the attachment.
    void setPlayer(Player* player);
    Player* player() const { return player_; }

    // Where the picture is drawn, in widget coordinates: the canvas (the
    // player item's render size, else the picture's) fitted into the view.
    // Empty while there is nothing to show.
    QRectF videoRect() const;
    // The picture on screen (empty before the first) and the time it shows.
    const VideoFrame& picture() const { return picture_; }
    MediaTime pictureTime() const { return pictureTime_; }

    QSize sizeHint() const override;

  signals:
    // A new picture reached the screen; `seconds` is the time it shows.
    void picturePainted(double seconds);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class FrameViewSink;
    void takePicture();
    void tellPlayerSize();

    Player* player_ = nullptr;
    std::shared_ptr<FrameViewSink> sink_;
    VideoFrame picture_;
    MediaTime pictureTime_ = MediaTime::invalid();
    bool pictureIsNew_ = false;
    double toldRatio_ = 0;  // the device pixel ratio the player was last told
};

}  // namespace zarvex
