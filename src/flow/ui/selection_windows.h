#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "flow/selection_controller.h"
#include "flow/ui/screen_geometry.h"

namespace zarvex {

// A window of a selection: hidden and deleted with its handle.
class SelectionWidget final : public SelectionWindow {
  public:
    explicit SelectionWidget(QWidget* widget) : widget_(widget) {}
    ~SelectionWidget() override;
    void makeKey() override;
    QWidget* widget() const { return widget_; }

  private:
    QPointer<QWidget> widget_;
};

// The selection's windows on the desktop: an overlay per display and the
// controls bar in its floating panel above them.
class SelectionWindows : public SelectionViews {
  public:
    // Makes the controls panel (a top-level window, not yet shown).
    using ControlsFactory =
        std::function<QWidget*(SelectionModel& model, SelectionViews::ControlsActions actions)>;

    // `translucent` when a compositing manager runs; otherwise each overlay
    // shows a still picture of its display.
    SelectionWindows(bool translucent, ControlsFactory makeControls, ViewHost host = {});

    std::unique_ptr<SelectionWindow> showOverlay(SelectionModel& model,
                                                 const ShareableDisplay& display,
                                                 OverlayActions actions) override;
    std::unique_ptr<SelectionWindow> showControls(SelectionModel& model,
                                                  const ShareableDisplay& display,
                                                  ControlsActions actions) override;

  private:
    bool translucent_;
    ControlsFactory makeControls_;
    ViewHost host_;
};

}  // namespace zarvex
