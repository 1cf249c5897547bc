// The tray application on a private Xvfb with openbox, trayer and a
// PulseAudio null sink, driven with xdotool: the tray icon and its menu in
// each phase, recent recordings, the folder chooser, the whole recording
// chain from the hotkey to the editor, and one instance per session.

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sstream>
#include <thread>

#include "app/menu_content.h"
#include "app/recent_recordings.h"
#include "app/tray_application.h"
#include "app/tray_menu.h"
#include "child_process.h"
#include "event_loop.h"
#include "ffprobe.h"
#include "flow/app_state.h"
#include "flow/selection_controller.h"
#include "flow/ui/countdown_window.h"
#include "flow/ui/recording_frame_window.h"
#include "flow/ui/selection_overlay.h"
#include "gui/gui_environment.h"
#include "gui/windows.h"
#include "model/project.h"
#include "model/settings_store.h"
#include "process.h"
#include "pulse_daemon.h"
#include "temp_dir.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::visibleWindows;
using Phase = AppState::Phase;

class TrayGuiTest : public testing::GuiTest {
  protected:
    TrayGuiTest() {
        ::setenv("PULSE_SERVER", pulse.server().c_str(), 1);
        pulse.addMicrophone();
        userPreferences().setRecordingsFolder(recordings.path().string());
        userPreferences().setCountdownSeconds(2);
    }

    const testing::Xvfb& server() { return testing::GuiEnvironment::get().server(); }
    void xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        testing::runXClient(server(), arguments);
    }
    void hotkey() { xdotool({"key", "ctrl+shift+g"}); }
    // The tray icon's window inside trayer's panel, in root coordinates, as
    // xwininfo lists it: `0x… "Zarvex": ("zarvex" "Zarvex")  22x22+0+0  +X+Y`.
    std::optional<QRect> embeddedIcon() {
        const std::string tree = testing::runXClient(server(), {"xwininfo", "-root", "-tree"});
        std::istringstream lines(tree);
        bool inPanel = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.find("\"panel\": (\"panel\" \"trayer\")") != std::string::npos) {
                inPanel = true;
            } else if (inPanel && line.find("(\"zarvex\" \"Zarvex\")") != std::string::npos) {
                int w = 0, h = 0, x = 0, y = 0, rx = 0, ry = 0;
                const auto at = line.find(")  ");
                if (std::sscanf(line.c_str() + at + 3, "%dx%d+%d+%d +%d+%d", &w, &h, &x, &y, &rx,
                                &ry) == 6) {
                    return QRect(rx, ry, w, h);
                }
            }
        }
        return std::nullopt;
    }

    // The menu entry's text; "(none)" when the menu has no such entry.
    std::string text(MenuItem item) {
        const QAction* action = tray().action(item);
        return action ? action->text().toStdString() : "(none)";
    }
    AppState& state() { return app->state(); }
    TrayMenu& tray() { return app->tray(); }

    // Presses the hotkey and draws a region once the overlays are up.
    void selectRegion() {
        hotkey();
        ASSERT_TRUE(processEventsUntil([] {
            const auto overlays = visibleWindows<SelectionOverlay>();
            return !overlays.empty() && QTest::qWaitForWindowExposed(overlays.front(), 100);
        }));
        testing::processEventsFor(200ms);
        xdotool({"mousemove", "300", "200", "mousedown", "1", "mousemove", "500", "300",
                 "mousemove", "620", "440", "mouseup", "1"});
        ASSERT_TRUE(processEventsUntil([&] {
            SelectionModel* model = app->selection().model();
            return model != nullptr && model->selection().region && !model->isDragging();
        }));
    }

    testing::PulseDaemon pulse;
    testing::TrayHost trayHost{testing::GuiEnvironment::get().server()};
    testing::TempDir recordings;
    std::vector<std::filesystem::path> opened;
    std::unique_ptr<TrayApplication> app = std::make_unique<TrayApplication>(TrayApplication::Hooks{
        .openRecording = [this](const std::filesystem::path& folder,
                                std::optional<std::string>) { opened.push_back(folder); },
        .openSettings = {},
        .updates = nullptr,
        .chooseFolder = {},
    });
};

TEST_F(TrayGuiTest, TheIconIsEmbeddedAndTheMenuFollowsThePhase) {
    ASSERT_TRUE(processEventsUntil([&] { return tray().icon().geometry().isValid(); }));
    EXPECT_EQ(text(MenuItem::primary), "New Recording…  Ctrl+Shift+G");
    EXPECT_EQ(tray().action(MenuItem::quit)->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(tray().action(MenuItem::settings)->shortcut(), QKeySequence("Ctrl+,"));
    EXPECT_EQ(tray().action(MenuItem::checkForUpdates), nullptr);  // no updater configured

    // The icon sits in trayer's panel; a click on it opens the menu. It takes
    // clicks once trayer has laid it out and shown it, and may move while
    // trayer does: find it and click until the menu opens.
    ASSERT_TRUE(processEventsUntil([&] { return embeddedIcon().has_value(); }));
    for (int attempt = 0; attempt < 20 && !tray().menu().isVisible(); ++attempt) {
        const std::optional<QRect> icon = embeddedIcon();
        ASSERT_TRUE(icon.has_value());
        xdotool({"mousemove", std::to_string(icon->center().x()),
                 std::to_string(icon->center().y()), "click", "1"});
        processEventsUntil([&] { return tray().menu().isVisible(); }, 500ms);
    }
    ASSERT_TRUE(tray().menu().isVisible());
    xdotool({"key", "Escape"});
    ASSERT_TRUE(processEventsUntil([&] { return !tray().menu().isVisible(); }));

    hotkey();
    ASSERT_TRUE(processEventsUntil([&] { return !visibleWindows<SelectionOverlay>().empty(); }));
    EXPECT_EQ(state().phase(), Phase::selecting);
    EXPECT_EQ(text(MenuItem::primary), "Cancel Selection  Ctrl+Shift+G");
    testing::processEventsFor(200ms);
    xdotool({"key", "Escape"});
    ASSERT_TRUE(processEventsUntil([&] { return visibleWindows<SelectionOverlay>().empty(); }));
    ASSERT_TRUE(processEventsUntil([&] { return state().phase() == Phase::idle; }));
    EXPECT_EQ(state().lastErrorMessage(), std::nullopt);
    EXPECT_EQ(text(MenuItem::primary), "New Recording…  Ctrl+Shift+G");
}

TEST_F(TrayGuiTest, HotkeyReturnCountdownRecordingHotkeyOpensTheNewFolder) {
    selectRegion();
    EXPECT_EQ(app->selection().model()->selection().region->rect, (Rect{300, 200, 320, 240}));
    xdotool({"key", "Return"});

    // The badge: 180 × 180 in the middle of the screen, click-through.
    std::vector<int> counts;
    QRect badgeFrame;
    bool clickThrough = false;
    std::optional<std::chrono::steady_clock::time_point> badgeGone;
    ASSERT_TRUE(processEventsUntil([&] {
        for (CountdownWindow* badge : visibleWindows<CountdownWindow>()) {
            if (counts.empty() || counts.back() != badge->count()) {
                counts.push_back(badge->count());
            }
            if (counts.size() == 1) {
                QObject::connect(badge, &QObject::destroyed,
                                 [&] { badgeGone = std::chrono::steady_clock::now(); });
            }
            badgeFrame = badge->geometry();
            clickThrough = badge->windowFlags().testFlag(Qt::WindowTransparentForInput);
        }
        return state().phase() == Phase::recording;
    }));
    EXPECT_EQ(counts, (std::vector<int>{2, 1}));
    EXPECT_EQ(badgeFrame, QRect(710, 410, 180, 180));  // on a 1600 × 1000 screen
    EXPECT_TRUE(clickThrough);
    EXPECT_EQ(text(MenuItem::primary), "Stop Recording  Ctrl+Shift+G");
    EXPECT_EQ(text(MenuItem::recordingTime), "Recording… 0:00");
    const auto frames = visibleWindows<RecordingFrameWindow>();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames.front()->geometry(), QRect(297, 197, 326, 246));
    // Recording began (T0) when the badge went: a click's time in events.json
    // is its X server time − T0, and the click happens while xdotool runs.
    xdotool({"mousemove", "400", "300", "mousedown", "1"});
    const auto clicked = std::chrono::steady_clock::now();
    xdotool({"mouseup", "1"});
    ASSERT_TRUE(
        processEventsUntil([&] { return text(MenuItem::recordingTime) == "Recording… 0:01"; }, 3s));

    hotkey();
    ASSERT_TRUE(processEventsUntil([&] { return state().phase() == Phase::idle; }, 3s));
    EXPECT_TRUE(visibleWindows<RecordingFrameWindow>().empty());
    EXPECT_EQ(text(MenuItem::primary), "New Recording…  Ctrl+Shift+G");
    ASSERT_TRUE(processEventsUntil([&] { return !opened.empty(); }));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].parent_path(), recordings.path());
    EXPECT_EQ(testing::probeStreams(opened[0] / "screen.mov"),  // microphone, system audio
              (std::vector<std::string>{"h264 320x240", "aac", "aac"}));
    EXPECT_EQ(state().lastErrorMessage(), std::nullopt);
    const RecordedEvents events = readEventsFile(opened[0] / "events.json");
    ASSERT_EQ(events.clicks.size(), 1u);
    ASSERT_TRUE(badgeGone.has_value());
    const double startedAfter =
        std::chrono::duration<double>(clicked - *badgeGone).count() - events.clicks[0].t;
    EXPECT_LE(startedAfter, 0.15);
    // It is a recent recording now.
    ASSERT_TRUE(processEventsUntil([&] { return app->recent().list() == opened; }));
}

TEST_F(TrayGuiTest, TheHotkeyCancelsTheCountdown) {
    userPreferences().setCountdownSeconds(3);
    selectRegion();
    xdotool({"key", "Return"});
    ASSERT_TRUE(processEventsUntil([&] { return state().phase() == Phase::countingDown; }));
    EXPECT_EQ(text(MenuItem::primary), "Cancel Countdown  Ctrl+Shift+G");
    // Both sources record while the countdown runs (the microphone's remap
    // has a stream of its own), and stop with it.
    const auto streams = [&] {
        const std::string list = pulse.runClient({"pactl", "list", "short", "source-outputs"}).out;
        return std::count(list.begin(), list.end(), '\n');
    };
    ASSERT_TRUE(processEventsUntil([&] { return streams() == 3; }));
    EXPECT_FALSE(std::filesystem::is_empty(recordings.path()));
    hotkey();
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(processEventsUntil([&] { return state().phase() == Phase::idle; }, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 1500ms);  // at the end of its second
    EXPECT_TRUE(visibleWindows<CountdownWindow>().empty());
    testing::processEventsFor(300ms);
    EXPECT_TRUE(std::filesystem::is_empty(recordings.path()));
    EXPECT_EQ(streams(), 1);
    EXPECT_TRUE(opened.empty());
}

TEST_F(TrayGuiTest, RecentRecordingsAndTheFolderChooser) {
    std::vector<std::filesystem::path> made;
    for (int i = 0; i < 11; ++i) {
        made.push_back(recordings / ("Zarvex take " + std::to_string(i)));
        std::filesystem::create_directories(made.back());
        testing::writeText(made.back() / "project.json", "{}");
        std::this_thread::sleep_for(10ms);
    }
    std::filesystem::create_directories(recordings / ".hidden");
    testing::writeText(recordings / ".hidden" / "project.json", "{}");
    std::filesystem::create_directories(recordings / "Not a recording");
    app->recent().refresh();
    ASSERT_TRUE(processEventsUntil([&] { return tray().recentMenu().actions().size() == 10; }));
    const QList<QAction*> recent = tray().recentMenu().actions();
    EXPECT_EQ(recent.front()->text(), "Zarvex take 10");
    EXPECT_EQ(recent.back()->text(), "Zarvex take 1");
    recent[3]->trigger();
    EXPECT_EQ(opened, std::vector{made[7]});

    // The chooser: a folder without project.json is refused in the menu.
    const auto choose = [&](const std::filesystem::path& folder) {
        bool answered = false;
        QTimer::singleShot(300ms, [folder, &answered] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Choose a Zarvex recording folder");
            dialog->setDirectory(QString::fromStdString(folder.string()));
            static_cast<QDialog*>(dialog)->accept();
            answered = true;
        });
        tray().action(MenuItem::openRecording)->trigger();
        ASSERT_TRUE(processEventsUntil(
            [&] { return answered && QApplication::activeModalWidget() == nullptr; }));
    };
    choose(recordings / "Not a recording");
    EXPECT_EQ(state().lastErrorMessage(), "That folder isn't a Zarvex recording.");
    EXPECT_EQ(text(MenuItem::error), "That folder isn't a Zarvex recording.");
    choose(made[2]);
    EXPECT_EQ(opened.back(), made[2]);
}

TEST(TrayProcess, ASecondZarvexHandsItsRequestToTheRunningOne) {
    const auto& server = testing::GuiEnvironment::get().server();
    testing::TempDir runtime;
    testing::TrayHost trayHost(server);
    testing::ChildProcess running(
        {ZARVEX_BINARY},
        {.environment = {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}},
         .quiet = true});
    const auto socket = runtime / ("zarvex-_" + server.display().substr(1) + ".socket");
    ASSERT_TRUE(testing::eventually([&] { return std::filesystem::exists(socket); }));

    const auto zarvex = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"env", "DISPLAY=" + server.display(),
                          "XDG_RUNTIME_DIR=" + runtime.path().string(), ZARVEX_BINARY});
        return testing::runProcess(arguments);
    };
    const auto second = zarvex({});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    testing::TempDir folder;
    testing::writeText(folder / "project.json", "{}");
    EXPECT_EQ(zarvex({"open", folder.path()}).exitCode, 0);
    EXPECT_EQ(zarvex({"settings"}).exitCode, 0);  // shown by the running one
    const auto refused = zarvex({"open", runtime.path()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Could not open recording: That folder isn't a Zarvex recording.\n");
    EXPECT_FALSE(running.exited());

    // A termination signal quits like the menu does.
    ::kill(running.pid(), SIGTERM);
    EXPECT_TRUE(testing::eventually([&] { return running.exited(); }, 10s));
    EXPECT_EQ(running.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

}  // namespace
}  // namespace zarvex
