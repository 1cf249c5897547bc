#pragma once

#include <QTimer>
#include <QWidget>

#include "flow/recording_indicator.h"

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
    RecordingFrameWindow(const QRectF& frame, bool translucent);

    void setFrame(const Rect& frame) override;
    void orderOut() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool translucent_;
    // Windows raised later would cover the frame; it comes back to the top.
    QTimer raise_;
};

// Frames shown by the recording indicator; `translucent` when a compositing
// manager runs.
RecordingIndicator::FrameFactory recordingFrameWindows(bool translucent);

}  // namespace zarvex
