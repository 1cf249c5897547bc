#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace zarvex {

class SliderRow;
class ToggleSwitch;
class ZoomEditor;

// The inspector's Zoom section: the "Auto zoom on clicks" switch, "Add Zoom",
// and the selected segment's "Scale" (1.25×–3.0×), disabled while none is
// selected, with a line on how to move its centre.
class ZoomSection : public QWidget {
    Q_OBJECT
  public:
    explicit ZoomSection(ZoomEditor& editor, QWidget* parent = nullptr);

    ToggleSwitch* autoSwitch() const { return auto_; }
    QPushButton* addButton() const { return add_; }
    SliderRow* scaleRow() const { return scale_; }
    QLabel* hint() const { return hint_; }

  private:
    void showZoom();

    ZoomEditor& editor_;
    ToggleSwitch* auto_;
    QPushButton* add_;
    SliderRow* scale_;
    QLabel* hint_;
};

}  // namespace zarvex
