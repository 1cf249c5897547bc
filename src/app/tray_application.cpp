#include "app/tray_application.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <qcoro/qcorosignal.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <mutex>

#include "app/bundle_info.h"
#include "app/control_window.h"
#include "app/hotkey_manager.h"
#include "app/recent_recordings.h"
#include "app/session_capture.h"
#include "app/settings_window.h"
#include "app/shortcut_settings.h"
#include "app/single_instance.h"
#include "app/tray_menu.h"
#include "app/update_controller.h"
#include "app/wayland/portal_hotkey.h"
#include "app/x11/x11_hotkey.h"
#include "capture/linux/linux_permissions.h"
#include "capture/pulse/pulse_audio_capture.h"
#include "capture/recordings_directory.h"
#include "capture/v4l2/v4l2_camera.h"
#include "editor/editor_windows.h"
#include "flow/app_state.h"
#include "flow/camera_controller.h"
#include "flow/countdown_controller.h"
#include "flow/recording_indicator.h"
#include "flow/selection_controller.h"
#include "flow/ui/camera_preview_window.h"
#include "flow/ui/controls_bar.h"
#include "flow/ui/countdown_window.h"
#include "flow/ui/recording_frame_window.h"
#include "flow/ui/screen_geometry.h"
#include "flow/ui/selection_windows.h"
#include "flow/ui/wayland_stage.h"
#include "model/project.h"
#include "model/settings_store.h"
#include "ui/gui_application.h"
#include "ui/x11/compositing.h"

namespace zarvex {
namespace {

// Pixels per point of each screen by output name, for the capture backends,
// which ask from their own threads.
class ScreenScales {
  public:
    ScreenScales() { update(); }

    void update() {
        std::map<std::string, double> scales;
        for (QScreen* screen : QGuiApplication::screens()) {
            scales[screen->name().toStdString()] = screen->devicePixelRatio();
        }
        std::lock_guard lock(mutex_);
        scales_ = std::move(scales);
    }

    double scale(const std::string& output) const {
        std::lock_guard lock(mutex_);
        const auto found = scales_.find(output);
        return found == scales_.end() ? 1.0 : found->second;
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, double> scales_;
};

}  // namespace

struct TrayApplication::Parts {
    explicit Parts(TrayApplication& owner)
        : preferences(userPreferences()),
          translucent(compositingManagerRunning()),
          host(wayland() ? waylandStageHost() : ViewHost()),
          capture(makeDesktopCapture(
              preferences, owner,
              {std::nullopt, [this](const std::string& name) { return scales.scale(name); },
               &systemClock()})),
          uiContent(std::move(capture.uiContent)),
          captureContent(std::move(capture.captureContent)),
          screenCapture(std::move(capture.screenCapture)),
          inputMonitor(std::move(capture.inputMonitor)),
          windowChooser(std::move(capture.windowChooser)),
          cameraPreview(translucent),
          camera([this] {
              return std::make_unique<CameraManager>([] { return makeV4l2Camera(); }, permissions,
                                                     [this] { return cameraPreview.preview(); });
          }),
          views(
              translucent,
              [this](SelectionModel& model, SelectionViews::ControlsActions actions) {
                  return makeControlsPanel(model, std::move(actions.onStart),
                                           std::move(actions.onCancel), translucent);
              },
              host),
          selection({
              .desktop = [this] { return uiContent->content(); },
              .pointer = [] { return toPoint(QCursor::pos()); },
              .ownProcessID = static_cast<std::uint32_t>(::getpid()),
              .preferences = &preferences,
              .views = &views,
              .camera = &camera,
              .windowChooser = windowChooser.get(),
              .reportError =
                  [this](const std::string& message) { state.setLastErrorMessage(message); },
          }),
          countdown([this] { return uiContent->content().displays; },
                    countdownWindows(translucent, host)),
          indicator([this] { return uiContent->content(); },
                    [this](WindowID id) { return uiContent->windowFrame(id); },
                    recordingFrameWindows(translucent, host)),
          state({
              .permissions = &permissions,
              .preferences = &preferences,
              .selector = &selection,
              .countdown = &countdown,
              .indicator = &indicator,
              .makeSession =
                  [this](const SelectionResult& options,
                         std::chrono::system_clock::time_point startsAt) {
                      CaptureServices services;
                      services.content = captureContent.get();
                      services.screenCapture = screenCapture.get();
                      services.inputMonitor = inputMonitor.get();
                      services.makeAudioCapture = [](AudioSource source) {
                          return makePulseAudioCapture(source);
                      };
                      services.ownProcessID = static_cast<std::uint32_t>(::getpid());
                      holdBackPreview(options.target);
                      return std::make_unique<RecordingSession>(services, camera.webcam(), options,
                                                                preferences, startsAt);
                  },
              .stopCamera = [this] { camera.stop(); },
              .openRecording =
                  [&owner](const std::filesystem::path& folder, std::optional<std::string> notice) {
                      owner.openRecording(folder, std::move(notice));
                  },
          }),
          recent([this] { return recordingsDirectory(preferences); }),
          hotkey(ShortcutSettings::shared(), makeHotkey(capture.session)) {}

    // No key grab in a Wayland session: X11 grabs would see only keys typed
    // into Xwayland's windows.
    static std::unique_ptr<GlobalHotkey> makeHotkey(SessionType session) {
        if (session == SessionType::wayland) {
            // The desktop's shortcut service binds the key where it has one;
            // elsewhere the user binds `zarvex toggle` to a key.
            ShortcutSettings::shared().setBinding(ShortcutSettings::Binding::command);
            return std::make_unique<PortalHotkey>([](bool available) {
                ShortcutSettings::shared().setBinding(available
                                                          ? ShortcutSettings::Binding::desktop
                                                          : ShortcutSettings::Binding::command);
            });
        }
        try {
            return makeX11GlobalHotkey();
        } catch (const std::exception&) {
            return nullptr;  // no hotkey: the menu still works
        }
    }

    // Qt draws through a Wayland compositor: windows cannot place themselves,
    // and recordings cannot leave them out.
    static bool wayland() {
        return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    }

    // Where nothing of ours can be left out of a recording, the camera
    // preview stays off the screen while it would cover what is recorded
    // (anywhere, for a window the desktop does not place for us to see).
    void holdBackPreview(const CaptureTarget& target) {
        if (!wayland()) {
            return;
        }
        const std::optional<Rect> area =
            indicatorFrame(target, uiContent->content(),
                           [this](WindowID id) { return uiContent->windowFrame(id); });
        cameraPreview.holdBack(!area || toQRectF(*area).intersects(cameraPreview.frame()));
    }

    Preferences& preferences;
    ScreenScales scales;
    LinuxPermissionAuthority permissions;
    bool translucent;
    ViewHost host;
    DesktopCapture capture;  // its parts are moved out below
    std::unique_ptr<ShareableContentSource> uiContent;
    std::unique_ptr<ShareableContentSource> captureContent;
    std::unique_ptr<ScreenCaptureService> screenCapture;
    std::unique_ptr<InputMonitor> inputMonitor;
    std::unique_ptr<WindowChooser> windowChooser;
    CameraPreviewWindow cameraPreview;
    CameraController camera;
    SelectionWindows views;
    SelectionController selection;
    CountdownController countdown;
    RecordingIndicator indicator;
    AppState state;
    RecentRecordings recent;
    HotkeyManager hotkey;
    TrayMenu tray;
};

TrayApplication::TrayApplication(Hooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), parts_(std::make_unique<Parts>(*this)) {
    Parts& p = *parts_;
    for (QScreen* screen : QGuiApplication::screens()) {
        connect(screen, &QScreen::physicalDotsPerInchChanged, this, [&p] { p.scales.update(); });
    }
    connect(qApp, &QGuiApplication::screenAdded, this, [&p] { p.scales.update(); });
    connect(qApp, &QGuiApplication::screenRemoved, this, [&p] { p.scales.update(); });

    connect(&p.state, &AppState::phaseChanged, this, [this, &p] {
        if (p.state.phase() == AppState::Phase::idle) {
            p.cameraPreview.holdBack(false);
        }
        updateMenu();
        updateIcon();
    });
    p.cameraPreview.setHost(p.host);
    if (Parts::wayland()) {
        p.countdown.setClearance(std::chrono::milliseconds(50));
    }
    connect(&p.state, &AppState::elapsedTextChanged, this, &TrayApplication::updateMenu);
    connect(&p.state, &AppState::lastErrorMessageChanged, this, &TrayApplication::updateMenu);
    // A recording that has been finished is a new recent one.
    connect(&p.state, &AppState::activityChanged, this, [&p] { p.recent.refresh(); });
    connect(&p.recent, &RecentRecordings::changed, this,
            [&p] { p.tray.setRecentEntries(recentEntries(p.recent.list())); });
    connect(&p.tray, &TrayMenu::triggered, this, &TrayApplication::menuTriggered);
    connect(&p.tray, &TrayMenu::recentChosen, this,
            [this](const std::filesystem::path& folder) { openRecording(folder); });
    if (hooks_.updates == nullptr) {
        hooks_.updates = &UpdateController::shared();
    }
    connect(hooks_.updates, &UpdateController::canCheckForUpdatesChanged, this,
            &TrayApplication::updateMenu);
    if (!hooks_.openSettings) {
        hooks_.openSettings = [] { SettingsWindow::showShared(); };
    }

    p.tray.setRecentEntries(recentEntries(p.recent.list()));
    updateMenu();
    updateIcon();
    p.tray.show();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        // Nowhere to show the icon: the menu becomes a window of its own.
        controlWindow_ = new ControlWindow(p.tray);
        controlWindow_->setAttribute(Qt::WA_QuitOnClose, false);
        connect(controlWindow_, &ControlWindow::closed, this, [this] {
            // Without an icon to come back to, closing it ends Zarvex.
            if (!QSystemTrayIcon::isSystemTrayAvailable()) {
                quit();
            }
        });
        controlWindow_->present();
    }
    p.hotkey.registerHandler([this] {
        // From the key's event: the primary action runs in its own turn.
        QTimer::singleShot(0, this, [this] { parts_->state.toggleRecording(); });
    });
}

TrayApplication::TrayApplication() : TrayApplication(Hooks{}) {}

TrayApplication::~TrayApplication() {
    delete controlWindow_;  // its buttons hold the menu's actions
}

ControlWindow* TrayApplication::controlWindow() const {
    return controlWindow_;
}

AppState& TrayApplication::state() {
    return parts_->state;
}
TrayMenu& TrayApplication::tray() {
    return parts_->tray;
}
HotkeyManager& TrayApplication::hotkey() {
    return parts_->hotkey;
}
SelectionController& TrayApplication::selection() {
    return parts_->selection;
}
RecentRecordings& TrayApplication::recent() {
    return parts_->recent;
}

MenuState TrayApplication::menuState() const {
    const Parts& p = *parts_;
    MenuState menu;
    menu.phase = p.state.phase();
    menu.elapsedText = p.state.elapsedText();
    menu.hotkeyText = ShortcutSettings::shared().displayText().toStdString();
    menu.recentRecordings = p.recent.list();
    menu.hasUpdater = hooks_.updates->hasUpdater();
    menu.canCheckForUpdates = hooks_.updates->canCheckForUpdates();
    menu.errorMessage = p.state.lastErrorMessage();
    menu.versionText = versionText(BundleInfo::current());
    return menu;
}

void TrayApplication::updateMenu() {
    parts_->tray.setEntries(menuEntries(menuState()));
}

void TrayApplication::updateIcon() {
    const bool recording = parts_->state.phase() == AppState::Phase::recording;
    parts_->tray.setIcon(trayIcon(recording));
    parts_->tray.setToolTip(recording ? QStringLiteral("Zarvex — recording")
                                      : QStringLiteral("Zarvex"));
}

void TrayApplication::menuTriggered(MenuItem item) {
    switch (item) {
        case MenuItem::primary:
            parts_->state.toggleRecording();
            break;
        case MenuItem::openRecording:
            // On the next turn: the menu closes first.
            QTimer::singleShot(0, this, &TrayApplication::chooseRecording);
            break;
        case MenuItem::openRecordingsFolder:
            openRecordingsFolder();
            break;
        case MenuItem::settings:
            hooks_.openSettings();
            break;
        case MenuItem::checkForUpdates:
            hooks_.updates->checkForUpdates();
            break;
        case MenuItem::quit:
            quit();
            break;
        default:
            break;
    }
}

void TrayApplication::openRecording(const std::filesystem::path& folder,
                                    std::optional<std::string> notice) {
    try {
        if (hooks_.openRecording) {
            hooks_.openRecording(folder, std::move(notice));
            return;
        }
        if (!isRecordingFolder(folder)) {
            throw std::runtime_error(std::string(kNotARecordingMessage));
        }
        // The editor's message already says "Could not open recording: ".
        if (const std::optional<std::string> error =
                EditorWindows::shared().open(folder, std::move(notice))) {
            parts_->state.setLastErrorMessage(*error);
        }
    } catch (const std::exception& error) {
        parts_->state.setLastErrorMessage(std::string("Could not open recording: ") + error.what());
    }
}

void TrayApplication::chooseRecording() {
    const std::filesystem::path start = recordingsDirectory(parts_->preferences);
    std::optional<std::filesystem::path> chosen;
    if (hooks_.chooseFolder) {
        chosen = hooks_.chooseFolder(start);
    } else {
        const QString folder = QFileDialog::getExistingDirectory(
            nullptr, QStringLiteral("Choose a Zarvex recording folder"),
            QString::fromStdString(start.string()), QFileDialog::ShowDirsOnly);
        if (!folder.isEmpty()) {
            chosen = folder.toStdString();
        }
    }
    if (!chosen) {
        return;
    }
    if (!isRecordingFolder(*chosen)) {
        parts_->state.setLastErrorMessage(std::string(kNotARecordingMessage));
        return;
    }
    openRecording(*chosen);
}

void TrayApplication::openRecordingsFolder() {
    const std::filesystem::path folder = ensureRecordingsDirectory(parts_->preferences);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
}

void TrayApplication::handleRequest(const std::vector<std::string>& arguments) {
    if (arguments.size() == 2 && arguments[0] == "open") {
        openRecording(arguments[1]);
    } else if (arguments.size() == 1 && arguments[0] == "settings") {
        hooks_.openSettings();
    } else if (arguments.size() == 1 && arguments[0] == "toggle") {
        parts_->state.toggleRecording();
    } else if (controlWindow_ != nullptr) {
        controlWindow_->present();
    } else {
        parts_->tray.showMessage(QStringLiteral("Zarvex is running"),
                                 QStringLiteral("Start a recording from the tray menu or with %1.")
                                     .arg(ShortcutSettings::shared().displayText()));
    }
}

QCoro::Task<void> TrayApplication::quit() {
    if (quitting_) {
        co_return;
    }
    quitting_ = true;
    emit quitting();
    parts_->tray.setToolTip(QStringLiteral("Zarvex — finishing the recording"));
    co_await parts_->state.finishAll();
    // Editor windows close first, each saving its edits; running exports are
    // asked about once, and kept ones end before Zarvex does.
    if (EditorWindows* editors = EditorWindows::existing(); editors && editors->hasWindows()) {
        editors->closeAll();
        if (editors->hasWindows()) {
            co_await qCoro(editors, &EditorWindows::allClosed);
        }
    }
    QCoreApplication::quit();
}

namespace {

// SIGINT, SIGTERM and SIGHUP (a logout, Ctrl-C or a closed terminal) quit like the menu
// does, so a recording is finished instead of lost.
int signalPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int runTrayApplication(const std::vector<std::string>& request) {
    preferWaylandToolkit();
    GuiApplication gui({"zarvex"});
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::defaultDirectory(), SingleInstance::defaultSession());
    if (!instance.claim()) {
        if (instance.send(request)) {
            return 0;
        }
        std::fprintf(stderr, "zarvex: another instance is running but does not answer.\n");
        return 1;
    }

    std::unique_ptr<TrayApplication> made;
    try {
        made = std::make_unique<TrayApplication>();
    } catch (const std::exception& error) {
        // The desktop's services cannot be reached (no X11 display).
        std::fprintf(stderr, "zarvex: %s\n", error.what());
        return 1;
    }
    TrayApplication& tray = *made;
    QObject::connect(&instance, &SingleInstance::requested, &tray, &TrayApplication::handleRequest);
    if (!request.empty()) {
        QTimer::singleShot(0, &tray, [&tray, request] { tray.handleRequest(request); });
    }

    std::unique_ptr<QSocketNotifier> quitSignals;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        quitSignals = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(quitSignals.get(), &QSocketNotifier::activated, &tray, [&tray] {
            char byte = 0;
            [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
            tray.quit();
        });
        std::signal(SIGINT, onQuitSignal);
        std::signal(SIGTERM, onQuitSignal);
        std::signal(SIGHUP, onQuitSignal);
    }
    return QApplication::exec();
}

}  // namespace zarvex
