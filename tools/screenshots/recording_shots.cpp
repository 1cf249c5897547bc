// The tray menu in each phase, target selection in each mode with a pick,
// the controls bar, the countdown badge, the recording frame and the camera
// preview, over a made-up desktop.
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTest>

#include "app/control_window.h"
#include "app/menu_content.h"
#include "app/tray_menu.h"
#include "capture/indicator_geometry.h"
#include "flow/selection_model.h"
#include "flow/ui/camera_preview_window.h"
#include "flow/ui/controls_bar.h"
#include "flow/ui/countdown_window.h"
#include "flow/ui/recording_frame_window.h"
#include "flow/ui/screen_geometry.h"
#include "flow/ui/selection_windows.h"
#include "media/frame_converter.h"
#include "shots.h"

namespace {

using namespace zarvex;

// Two application windows the desktop shows, in global points.
const QRect kEditorWindow(180, 140, 820, 560);
const QRect kBrowserWindow(1060, 260, 640, 460);

// A desktop to select from: a wallpaper and two application windows.
class DesktopScene : public QWidget {
  public:
    DesktopScene()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint) {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient wallpaper(rect().topLeft(), rect().bottomRight());
        wallpaper.setColorAt(0, QColor(37, 52, 91));
        wallpaper.setColorAt(0.55, QColor(69, 98, 140));
        wallpaper.setColorAt(1, QColor(222, 140, 118));
        p.fillRect(rect(), wallpaper);
        window(p, kEditorWindow, "notes.md — Editor", QColor(30, 33, 41), QColor(214, 219, 228));
        window(p, kBrowserWindow, "Release notes — Browser", QColor(250, 250, 252),
               QColor(60, 64, 72));
    }

  private:
    static void window(QPainter& p, const QRect& frame, const QString& title, const QColor& page,
                       const QColor& ink) {
        QPainterPath outline;
        outline.addRoundedRect(frame, 10, 10);
        p.fillPath(outline.translated(0, 6), QColor(0, 0, 0, 60));
        p.fillPath(outline, page);
        p.save();
        p.setClipPath(outline);
        p.fillRect(QRect(frame.x(), frame.y(), frame.width(), 34), page.darker(112));
        p.restore();
        const QColor lights[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
        for (int i = 0; i < 3; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(lights[i]);
            p.drawEllipse(QPointF(frame.x() + 18 + i * 20, frame.y() + 17), 6, 6);
        }
        p.setPen(ink);
        p.drawText(QRect(frame.x(), frame.y(), frame.width(), 34), Qt::AlignCenter, title);
        for (int line = 0; line < (frame.height() - 70) / 26; ++line) {
            const int width = (frame.width() - 80) * (55 + (line * 37) % 45) / 100;
            p.fillRect(QRect(frame.x() + 32, frame.y() + 60 + line * 26, width, 9),
                       QColor(ink.red(), ink.green(), ink.blue(), line % 4 == 0 ? 170 : 90));
        }
    }
};

// The desktop, on screen and settled.
std::unique_ptr<DesktopScene> showDesktop() {
    auto scene = std::make_unique<DesktopScene>();
    scene->show();
    if (!QTest::qWaitForWindowExposed(scene.get())) {
        qWarning("screenshots: the desktop scene was never shown");
    }
    shots::ShotContext::settle(200);
    return scene;
}

ShareableDisplay mainDisplay() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return {1, screen->name().toStdString(), toRect(screen->geometry()), screen->devicePixelRatio(),
            true};
}

// The overlays and the controls bar over the scene for one state.
// `desktopWindows`: windows are picked in the desktop's chooser (Wayland), which
// `offered` them or not.
void captureSelection(shots::ShotContext& shot, const Selection& state, const QString& name,
                      std::optional<bool> desktopWindows = std::nullopt) {
    const auto scene = showDesktop();
    SelectionModel model(state, {}, 0);
    if (desktopWindows) {
        model.chooseWindowsOnDesktop(*desktopWindows);
    }
    SelectionWindows views(false, [](SelectionModel& m, SelectionViews::ControlsActions) {
        return makeControlsPanel(m, {}, {}, false);
    });
    const ShareableDisplay display = mainDisplay();
    auto overlay = views.showOverlay(model, display, {});
    auto panel = views.showControls(model, display, {});
    shots::ShotContext::settle(400);
    shot.captureArea(toQRectF(display.frame).toRect(), name);
    if (name == "selection-region" || name == "selection-displays-only") {
        // The controls bar alone, in this theme.
        QWidget* bar = static_cast<SelectionWidget&>(*panel).widget();
        shot.captureArea(
            bar->geometry().adjusted(-24, -24, 24, 24),
            name == "selection-region" ? "controls-bar" : "controls-bar-displays-only");
    }
}

MenuState menuState(AppState::Phase phase) {
    MenuState state;
    state.phase = phase;
    state.hotkeyText = "Ctrl+Shift+G";
    state.elapsedText = "1:05";
    state.versionText = "Version 0.1.0 (1)";
    return state;
}

}  // namespace

ZARVEX_SHOT(tray_menu) {
    using Phase = AppState::Phase;
    TrayMenu tray;
    tray.setIcon(trayIcon(false));
    tray.show();
    tray.setRecentEntries(recentEntries({"/home/me/Videos/Zarvex/Zarvex 2025-03-07 at 4.05.09 PM",
                                         "/home/me/Videos/Zarvex/Zarvex 2025-03-06 at 11.41.52 AM",
                                         "/home/me/Videos/Zarvex/Product demo"}));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    struct Face {
        Phase phase;
        std::optional<std::string> error;
        const char* name;
    };
    for (const Face& face :
         {Face{Phase::idle, std::nullopt, "tray-menu-idle"},
          Face{Phase::selecting, std::nullopt, "tray-menu-selecting"},
          Face{Phase::countingDown, std::nullopt, "tray-menu-countdown"},
          Face{Phase::recording, std::nullopt, "tray-menu-recording"},
          Face{Phase::idle,
               "Zarvex needs an X11 display to record: DISPLAY is not set or the display cannot "
               "be opened.",
               "tray-menu-error"}}) {
        MenuState state = menuState(face.phase);
        state.errorMessage = face.error;
        tray.setIcon(trayIcon(face.phase == Phase::recording));
        tray.setEntries(menuEntries(state));
        tray.menu().popup(QPoint(screen.right() - 4, 26));
        shots::ShotContext::settle(400);
        const QRect menu = tray.menu().geometry();
        shot.captureArea(
            QRect(menu.left() - 16, 0, screen.right() - menu.left() + 17, menu.bottom() + 16),
            QString::fromUtf8(face.name));
        tray.menu().hide();
    }
    tray.setEntries(menuEntries(menuState(Phase::idle)));
    tray.menu().popup(QPoint(screen.right() - 4, 26));
    shots::ShotContext::settle(300);
    // Opened as the user does: "Open Recent" highlighted, then Right.
    tray.menu().setActiveAction(tray.recentMenu().menuAction());
    QTest::keyClick(&tray.menu(), Qt::Key_Right);
    shots::ShotContext::settle(400);
    shot.captureArea(
        QRect(tray.recentMenu().x() - 16, 0, screen.right() - tray.recentMenu().x() + 17,
              tray.menu().geometry().bottom() + 16),
        "tray-menu-recent");
    tray.recentMenu().hide();
    tray.menu().hide();

    // The menu as a window, where no tray host runs.
    ControlWindow window(tray);
    window.move(200, 120);
    shot.capture(window, "control-window");
    tray.setEntries(menuEntries(menuState(Phase::recording)));
    shot.capture(window, "control-window-recording");
}

ZARVEX_SHOT(selection) {
    Selection fresh;
    fresh.selectedDisplayID = 1;
    captureSelection(shot, fresh, "selection-fresh");

    Selection region = fresh;
    region.region = RegionPick{1, {560, 300, 800, 450}};
    captureSelection(shot, region, "selection-region");

    Selection screen = fresh;
    screen.mode = CaptureMode::screen;
    captureSelection(shot, screen, "selection-screen");

    Selection hovered = fresh;
    hovered.mode = CaptureMode::window;
    hovered.hoverWindow = WindowPick{7, toRect(QRectF(kBrowserWindow)), "Browser"};
    captureSelection(shot, hovered, "selection-window-hover");

    Selection picked = hovered;
    picked.windowPick = WindowPick{6, toRect(QRectF(kEditorWindow)), "Editor"};
    picked.cameraEnabled = true;
    picked.micEnabled = false;
    captureSelection(shot, picked, "selection-window-picked");
    // Where the desktop's own chooser picks windows, and where it shares none.
    Selection asking = fresh;
    asking.mode = CaptureMode::window;
    captureSelection(shot, asking, "selection-window-desktop", true);
    captureSelection(shot, region, "selection-displays-only", false);
}

ZARVEX_SHOT(countdown) {
    const auto scene = showDesktop();
    const Rect frame = centredIn(mainDisplay().frame, {kCountdownBadgeSize, kCountdownBadgeSize});
    auto badge = countdownWindows(false)(3, frame);
    shots::ShotContext::settle(300);
    shot.captureArea(toQRectF(frame).toRect().adjusted(-90, -60, 90, 60), "countdown");
}

ZARVEX_SHOT(recording_frame) {
    const auto scene = showDesktop();
    RecordingFrameWindow frame(toQRectF(grownBy(toRect(QRectF(kEditorWindow)), kFrameOutset)),
                               false);
    frame.show();
    shots::ShotContext::settle(400);
    shot.captureArea(kEditorWindow.adjusted(-60, -60, 60, 60), "recording-frame");
}

ZARVEX_SHOT(camera_preview) {
    const auto scene = showDesktop();
    // A stand-in for a face in front of a camera.
    QImage picture(640, 480, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient room(0, 0, 640, 480);
        room.setColorAt(0, QColor(92, 120, 150));
        room.setColorAt(1, QColor(40, 52, 70));
        p.fillRect(picture.rect(), room);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(236, 190, 160));
        p.drawEllipse(QPointF(320, 215), 92, 110);
        p.setBrush(QColor(58, 90, 150));
        p.drawRoundedRect(QRectF(170, 330, 300, 200), 90, 90);
        p.setBrush(QColor(70, 50, 40));
        p.drawChord(QRectF(226, 100, 188, 150), 0, 180 * 16);
    }
    VideoFrame bgra;
    bgra.width = picture.width();
    bgra.height = picture.height();
    bgra.data[0] = picture.bits();
    bgra.stride[0] = static_cast<int>(picture.bytesPerLine());
    ColorTags tags;
    tags.matrix = YuvMatrix::bt709;
    tags.range = YuvRange::limited;
    FrameConverter converter;
    const VideoFrame i420 = converter.toI420(bgra, 640, 480, tags);
    CameraPreviewWindow preview(false);
    preview.showPreview();
    preview.preview()->present({i420, HostTime{}});
    shots::ShotContext::settle(500);
    shot.captureArea(preview.geometry().adjusted(-40, -40, 24, 24), "camera-preview");
}
