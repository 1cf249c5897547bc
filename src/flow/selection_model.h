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
    void setWindowPick(std::optional<WindowPick> pick);

    // Windows are picked in the desktop's chooser instead of on the overlays
    // (`offered`: whether the desktop shares windows at all). A press in
    // window mode, and switching to it with no window picked, then asks for
    // the chooser (windowChoiceWanted) instead of testing what lies under the
    // pointer.
    void chooseWindowsOnDesktop(bool offered);
    bool windowsChosenOnDesktop() const { return desktopChooses_; }
    bool windowsOffered() const { return windowsOffered_; }

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
    // The desktop's chooser should pick a window.
    void windowChoiceWanted();

  private:
    void update(const std::function<void(Selection&)>& edit);
    std::optional<WindowPick> windowAt(Point pointer) const;

    Selection selection_;
    WindowList windows_;
    std::uint32_t ownProcessID_;
    bool desktopChooses_ = false;
    bool windowsOffered_ = true;
    std::optional<Point> dragStart_;
    DisplayID dragDisplay_ = 0;
};

}  // namespace zarvex
