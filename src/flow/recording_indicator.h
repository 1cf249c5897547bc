#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

#include "capture/indicator_geometry.h"
#include "flow/flow_ports.h"

namespace zarvex {

// The red frame window; destroying it takes it away.
class RecordingFrame {
  public:
    virtual ~RecordingFrame() = default;
    // Moves the window to `frame` (global points), whether shown or not.
    virtual void setFrame(const Rect& frame) = 0;
    // Takes the window off the screen for good; setFrame() only moves it then.
    virtual void orderOut() = 0;
};

// Marks what is being recorded with a frame, and keeps the frame on a
// recorded window as it moves (every 0.25 s) until the window is gone. Main
// thread only.
class RecordingIndicator : public QObject, public Indicator {
    Q_OBJECT
  public:
    using FrameFactory = std::function<std::unique_ptr<RecordingFrame>(const Rect& frame)>;

    RecordingIndicator(std::function<ShareableContent()> desktop, WindowFrameLookup windowFrame,
                       FrameFactory makeFrame, QObject* parent = nullptr);
    ~RecordingIndicator() override;

    void show(const CaptureTarget& target) override;
    void hide() override;

    bool isShown() const { return frame_ != nullptr; }

  private:
    void follow(WindowID window);

    std::function<ShareableContent()> desktop_;
    WindowFrameLookup windowFrame_;
    FrameFactory makeFrame_;
    std::unique_ptr<RecordingFrame> frame_;
    std::unique_ptr<QTimer> followTimer_;
};

}  // namespace zarvex
