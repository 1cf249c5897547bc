#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "capture/selection_rules.h"

namespace zarvex {

// The observable state of one selection and the input rules of its overlays.
// Overlays forward their mouse input here in their own view coordinates
// (points from their display's top-left corner, y down) and redraw on
// changed(). Main thread only.
class SelectionModel : public QObject {
    Q_OBJECT
  public:
    // The windows on screen, front to back, for the hit test; an empty list
    // when they cannot be read.
    using WindowList = std::function<std::vector<ShareableWindow>()>;

    SelectionModel(Selection initial, WindowList windows, std::uint32_t ownProcessID,
                   QObject* parent = nullptr);

    const Selection& selection() const { return selection_; }
    bool canStart() const { return selection_.canStart(); }

    void setMode(CaptureMode mode);
    void setMicEnabled(bool on);
    void setSystemAudioEnabled(bool on);
    void setCameraEnabled(bool on);
    void setCursorEnabled(bool on);
    void setSelectedDisplayID(std::optional<DisplayID> id);

    // A press on the overlay of `display` at `point` (view coordinates);
    // `pointer` is the same place in global points.
    void press(const ShareableDisplay& display, Point point, Point pointer);
    // The pointer moved with the button held.
    void drag(const ShareableDisplay& display, Point point);
    void release();
    // The pointer moved with no button held (global points).
    void hover(Point pointer);

    bool isDragging() const { return dragStart_.has_value(); }

  signals:
    // Any field changed.
    void changed();
    // The camera switch changed (also through changed()).
    void cameraEnabledChanged(bool on);

  private:
    void update(const std::function<void(Selection&)>& edit);
    std::optional<WindowPick> windowAt(Point pointer) const;

    Selection selection_;
    WindowList windows_;
    std::uint32_t ownProcessID_;
    std::optional<Point> dragStart_;
    DisplayID dragDisplay_ = 0;
};

}  // namespace zarvex
