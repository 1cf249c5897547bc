#pragma once

#include <QTimer>
#include <QWidget>

#include "flow/recording_indicator.h"
#include "flow/ui/screen_geometry.h"

namespace zarvex {

// The red frame around what is being recorded: one 2.5-point outline at 0.85
// just inside the window's edge, nothing else. Click-through (an empty input
// shape), never focused, kept above other windows. Without a compositing
// manager the window is shaped to the outline, so only the line exists on
// screen. The program's own windows are left out of recordings, so the frame
// never shows in one.
class RecordingFrameWindow : public QWidget, public RecordingFrame {
    Q_OBJECT
  public:
    RecordingFrameWindow(const QRectF& frame, bool translucent, ViewHost host = {});

    void setFrame(const Rect& frame) override;
    void orderOut() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool translucent_;
    ViewHost host_;
    // Windows raised later would cover the frame; it comes back to the top.
    QTimer raise_;
};

// Frames shown by the recording indicator; `translucent` when a compositing
// manager runs. With a `host` (Wayland, where nothing can be left out of a
// recording) a frame that would cover a whole screen is not shown: the
// desktop marks a shared display itself, and a frame on it would be recorded.
RecordingIndicator::FrameFactory recordingFrameWindows(bool translucent, ViewHost host = {});

}  // namespace zarvex
