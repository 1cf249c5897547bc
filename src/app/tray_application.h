#pragma once

#include <QObject>
#include <QPointer>

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/menu_content.h"

namespace zarvex {

class AppState;
class CameraController;
class ControlWindow;
class HotkeyManager;
class RecentRecordings;
class SelectionController;
class TrayMenu;
class UpdateController;

// The desktop application in the tray: the recording flow on the real
// desktop services, the menu, the global hotkey, opening recordings. One per
// process, made after the QApplication on the main thread.
class TrayApplication : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        // Opens a recording folder in the editor; throws with the reason when
        // it cannot (the menu shows "Could not open recording: " and it).
        // Empty: the editor window of the folder (EditorWindows). `notice`
        // goes in the window's banner: why the recording ended by itself.
        std::function<void(const std::filesystem::path&, std::optional<std::string> notice)>
            openRecording;
        // Opens the settings window; empty: the shared settings window.
        std::function<void()> openSettings;
        // The updates of the menu; null: the shared controller (which has an
        // updater only when the build configured one).
        UpdateController* updates = nullptr;
        // Asks the user for a folder to open ("Open Recording…"); empty: a
        // directory dialog. Nothing when the user cancels.
        std::function<std::optional<std::filesystem::path>(const std::filesystem::path& start)>
            chooseFolder;
    };

    explicit TrayApplication(Hooks hooks, QObject* parent = nullptr);
    TrayApplication();
    ~TrayApplication() override;

    AppState& state();
    TrayMenu& tray();
    HotkeyManager& hotkey();
    SelectionController& selection();
    RecentRecordings& recent();

    // The menu as a window, on a desktop without a tray host; null otherwise.
    ControlWindow* controlWindow() const;

    // What the menu shows now.
    MenuState menuState() const;

    // A request handed over by a later process: {} or {"activate"} (shows the
    // control window when there is one), {"open", FOLDER}, {"settings"},
    // {"toggle"} (the primary action).
    void handleRequest(const std::vector<std::string>& arguments);

    // Opens a folder in the editor, with `notice` in its banner; a folder
    // that cannot be opened becomes the error line.
    void openRecording(const std::filesystem::path& folder,
                       std::optional<std::string> notice = std::nullopt);
    // "Open Recording…": asks for a folder and opens it when it is a recording.
    void chooseRecording();
    void openRecordingsFolder();

    // Finishes any recording, then ends the event loop.
    QCoro::Task<void> quit();

  signals:
    void quitting();

  private:
    struct Parts;
    void updateMenu();
    void updateIcon();
    void menuTriggered(MenuItem item);

    Hooks hooks_;
    std::unique_ptr<Parts> parts_;
    QPointer<ControlWindow> controlWindow_;
    bool quitting_ = false;
};

// `zarvex` without a command: the running instance takes `request` (nothing
// more to do here) or this process becomes it and runs the tray until Quit.
// Returns the exit code.
int runTrayApplication(const std::vector<std::string>& request = {});

}  // namespace zarvex
