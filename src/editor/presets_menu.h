#pragma once

#include <QToolButton>
#include <QWidget>

class QLineEdit;
class QMenu;
class QPushButton;

namespace zarvex {

class PresetStore;
class ProjectDocument;

// The popover that saves the current style as a preset: the name field, the
// note about "Default" and Save (also on Return). Blank names are ignored.
class SavePresetPopover : public QWidget {
    Q_OBJECT
  public:
    SavePresetPopover(ProjectDocument& document, PresetStore& presets, QWidget* parent = nullptr);

    // Clears the name and shows the popover under `anchor`.
    void popUp(QWidget* anchor);
    // Saves under the trimmed name and closes; nothing for a blank name.
    void save();

    QLineEdit* nameField() const { return nameField_; }
    QPushButton* saveButton() const { return saveButton_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ProjectDocument& document_;
    PresetStore& presets_;
    QLineEdit* nameField_;
    QPushButton* saveButton_;
};

// The "Manage" menu of the presets: one item per preset applying its style,
// "Save Current As…" opening the save popover, and a "Delete" submenu.
class PresetsMenuButton : public QToolButton {
    Q_OBJECT
  public:
    PresetsMenuButton(ProjectDocument& document, PresetStore& presets, QWidget* parent = nullptr);

    QMenu* presetsMenu() const { return menu_; }
    SavePresetPopover* savePopover() const { return popover_; }
    void openSavePopover();

  private:
    void rebuild();

    ProjectDocument& document_;
    PresetStore& presets_;
    QMenu* menu_;
    SavePresetPopover* popover_;
};

}  // namespace zarvex
