#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

#include "flow/selection_model.h"

class QPushButton;
class QToolButton;

namespace zarvex {

class SegmentedControl;
class ThemedBar;

// The selection's toolbar: the mode picker (240 wide), the microphone,
// system-audio, camera and cursor switches, Cancel and Record (enabled only
// when the current mode has a pick), on a themed bar with corner radius 14.
// It edits the shared model and follows it; the applied theme restyles it.
class ControlsBar : public QWidget {
    Q_OBJECT
  public:
    ControlsBar(SelectionModel& model, std::function<void()> onStart,
                std::function<void()> onCancel, QWidget* parent = nullptr);

    SegmentedControl& modePicker() const { return *modes_; }
    // The switches in the order microphone, system audio, camera, cursor.
    QToolButton& toggle(int index) const { return *toggles_.at(static_cast<std::size_t>(index)); }
    QPushButton& cancelButton() const { return *cancel_; }
    QPushButton& recordButton() const { return *record_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void follow();

    QPointer<SelectionModel> model_;
    ThemedBar* bar_ = nullptr;
    SegmentedControl* modes_ = nullptr;
    std::array<QToolButton*, 4> toggles_{};
    QPushButton* cancel_ = nullptr;
    QPushButton* record_ = nullptr;
};

// The floating panel that holds the controls bar above the overlays: it
// never takes the keyboard (Return and Escape stay with the overlays).
// Without a compositing manager the window is cut to the bar's shape.
QWidget* makeControlsPanel(SelectionModel& model, std::function<void()> onStart,
                           std::function<void()> onCancel, bool translucent);

}  // namespace zarvex
