#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <string>

#include "app/launch_at_login.h"
#include "app/shortcut_settings.h"
#include "model/preferences.h"
#include "model/theme_manager.h"
#include "ui/window_backdrop.h"

class QComboBox;

class QLabel;
class QLineEdit;

namespace zarvex {

class ToggleSwitch;
class ShortcutRecorder;

// The recordings folder as the settings show it: "~/" and the rest for a
// folder inside `home`, else the full path.
std::string recordingsFolderDisplayPath(const std::string& path, const std::string& home);

// The settings window: a grouped form 440 points wide with the sections
// "General", "Appearance", "Recording" and "Saving", each control bound to its
// preference. One per process (shared()); drawn in the applied theme.
class SettingsWindow : public WindowBackdrop {
    Q_OBJECT
  public:
    struct Services {
        Preferences& preferences;
        ThemeManager& themes;
        ShortcutSettings& shortcut;
        LaunchAtLogin& launchAtLogin;
    };
    explicit SettingsWindow(Services services, QWidget* parent = nullptr);

    // Shows the process's settings window, creating it on first use, and
    // brings it to the front.
    static SettingsWindow& showShared();

    // The controls, for tests and screenshots.
    ToggleSwitch* loginSwitch() const { return loginSwitch_; }
    QLabel* loginCaption() const { return loginCaption_; }
    QComboBox* themePicker() const { return themePicker_; }
    QLabel* themeCaption() const { return themeCaption_; }
    ShortcutRecorder* shortcutRecorder() const { return recorder_; }
    QLabel* shortcutCaption() const { return shortcutCaption_; }
    // What the shortcut row says where the desktop binds the key (hidden
    // where the recorder shows).
    QLabel* shortcutBindingLabel() const { return bindingLabel_; }
    QComboBox* countdownPicker() const { return countdownPicker_; }
    ToggleSwitch* micSwitch() const { return micSwitch_; }
    ToggleSwitch* systemAudioSwitch() const { return systemAudioSwitch_; }
    ToggleSwitch* cameraSwitch() const { return cameraSwitch_; }
    ToggleSwitch* cursorSwitch() const { return cursorSwitch_; }
    ToggleSwitch* zoomSwitch() const { return zoomSwitch_; }
    QLabel* folderLabel() const { return folderLabel_; }
    QLineEdit* filenameField() const { return filenameField_; }
    // The "Choose…" dialog while it is open.
    QFileDialog* folderDialog() const { return folderDialog_; }
    void chooseFolder();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* generalSection();
    QWidget* appearanceSection();
    QWidget* recordingSection();
    QWidget* savingSection();
    void showLoginState();
    void showThemeState();
    void showFolder();
    void showShortcutBinding();

    Services services_;
    ToggleSwitch* loginSwitch_ = nullptr;
    QLabel* loginCaption_ = nullptr;
    QComboBox* themePicker_ = nullptr;
    QLabel* themeCaption_ = nullptr;
    ShortcutRecorder* recorder_ = nullptr;
    QLabel* shortcutCaption_ = nullptr;
    QLabel* bindingLabel_ = nullptr;
    QComboBox* countdownPicker_ = nullptr;
    ToggleSwitch* micSwitch_ = nullptr;
    ToggleSwitch* systemAudioSwitch_ = nullptr;
    ToggleSwitch* cameraSwitch_ = nullptr;
    ToggleSwitch* cursorSwitch_ = nullptr;
    ToggleSwitch* zoomSwitch_ = nullptr;
    QLabel* folderLabel_ = nullptr;
    QLineEdit* filenameField_ = nullptr;
    QPointer<QFileDialog> folderDialog_;
};

}  // namespace zarvex
