#pragma once

#include <QWidget>

#include <array>

class QComboBox;
class QScrollArea;
class QVBoxLayout;

namespace zarvex {

class BackgroundSection;
class CornerButton;
class PresetStore;
class PresetsMenuButton;
class ProjectDocument;
class SegmentedControl;
class SliderRow;
class ThemedBar;
class ToggleSwitch;
class ZoomSection;

// The inspector column (300 points wide): the sections Presets, Background,
// Layout, Aspect Ratio, Camera Bubble (only with a webcam), Click Effects
// (only with clicks) and, once added, Zoom. Every control writes the document's style at once and
// shows it again whenever it changes.
class InspectorView : public QWidget {
    Q_OBJECT
  public:
    InspectorView(ProjectDocument& document, PresetStore& presets, QWidget* parent = nullptr);

    PresetsMenuButton* presetsButton() const { return presetsButton_; }
    BackgroundSection* background() const { return background_; }
    SliderRow* paddingRow() const { return padding_; }
    SliderRow* cornersRow() const { return corners_; }
    SliderRow* shadowOpacityRow() const { return shadowOpacity_; }
    SliderRow* shadowSoftnessRow() const { return shadowSoftness_; }
    QComboBox* aspectPicker() const { return aspect_; }
    QWidget* cameraSection() const { return cameraSection_; }
    ToggleSwitch* showCameraSwitch() const { return showCamera_; }
    SegmentedControl* shapePicker() const { return shape_; }
    CornerButton* cornerButton(int index) const { return corners4_[std::size_t(index)]; }
    SliderRow* bubbleSizeRow() const { return bubbleSize_; }
    QWidget* clicksSection() const { return clicksSection_; }
    ToggleSwitch* ripplesSwitch() const { return ripples_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // Appends the Zoom section (the column owns it).
    void addZoomSection(ZoomSection* zoom);
    ZoomSection* zoomSection() const { return zoom_; }

  private:
    QWidget* buildLayoutSection();
    QWidget* buildAspectSection();
    QWidget* buildCameraSection();
    QWidget* buildClicksSection();
    void showStyle();
    void showSections();
    template <typename Edit>
    void edit(Edit change);

    ProjectDocument& document_;
    ThemedBar* panel_;
    QScrollArea* scroll_;
    PresetsMenuButton* presetsButton_;
    BackgroundSection* background_;
    SliderRow* padding_ = nullptr;
    SliderRow* corners_ = nullptr;
    SliderRow* shadowOpacity_ = nullptr;
    SliderRow* shadowSoftness_ = nullptr;
    QComboBox* aspect_ = nullptr;
    QWidget* cameraSection_ = nullptr;
    ToggleSwitch* showCamera_ = nullptr;
    SegmentedControl* shape_ = nullptr;
    std::array<CornerButton*, 4> corners4_{};
    SliderRow* bubbleSize_ = nullptr;
    QWidget* clicksSection_ = nullptr;
    ToggleSwitch* ripples_ = nullptr;
    QVBoxLayout* sections_ = nullptr;
    ZoomSection* zoom_ = nullptr;
};

}  // namespace zarvex
