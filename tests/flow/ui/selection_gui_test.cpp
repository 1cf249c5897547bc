// The selection's windows, the countdown badge, the recording frame and the
// camera preview on a private Xvfb with openbox, driven with xdotool as a user
// would. Also run at QT_SCALE_FACTOR=2: every position is given in points and
// pressed in pixels.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "capture/recording_session.h"
#include "capture/x11/x11_backend.h"
#include "event_loop.h"
#include "flow/recording_indicator.h"
#include "flow/selection_controller.h"
#include "flow/ui/camera_preview_window.h"
#include "flow/ui/controls_bar.h"
#include "flow/ui/countdown_window.h"
#include "flow/ui/recording_frame_window.h"
#include "flow/ui/screen_geometry.h"
#include "flow/ui/selection_overlay.h"
#include "flow/ui/selection_windows.h"
#include "flow/ui/wayland_stage.h"
#include "flow_fakes.h"
#include "gui/gui_environment.h"
#include "gui/windows.h"
#include "recording_fakes.h"
#include "ui/segmented_control.h"
#include "ui/themed_bar.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::visibleWindows;

// The X11 backend on the test's server, at the screen's density.
X11Options x11Options() {
    return {std::nullopt,
            [](const std::string&) { return QGuiApplication::primaryScreen()->devicePixelRatio(); },
            &systemClock()};
}

class SelectionGuiTest : public testing::GuiTest {
  protected:
    SelectionGuiTest() { preferences.setDefaultCameraEnabled(false); }
    ~SelectionGuiTest() override {
        controller.finish(std::nullopt);
        processEventsUntil([] { return visibleWindows<SelectionOverlay>().empty(); }, 5s);
    }

    const testing::Xvfb& server() { return testing::GuiEnvironment::get().server(); }
    double ratio() const { return QGuiApplication::primaryScreen()->devicePixelRatio(); }
    // xdotool works in pixels; the tests think in points.
    std::string px(double points) const { return std::to_string(std::lround(points * ratio())); }
    void xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        testing::runXClient(server(), arguments);
    }
    void moveTo(double x, double y) { xdotool({"mousemove", px(x), px(y)}); }
    void clickAt(Point at) { xdotool({"mousemove", px(at.x), px(at.y), "click", "1"}); }
    void drag(Point from, Point to) {
        moveTo(from.x, from.y);
        xdotool({"mousedown", "1"});
        moveTo((from.x + to.x) / 2, (from.y + to.y) / 2);
        moveTo(to.x, to.y);
        xdotool({"mouseup", "1"});
        QApplication::processEvents();
    }

    // Begins a selection and waits until its windows are on screen.
    void begin() {
        outcome.reset();
        [](SelectionGuiTest* test) -> QCoro::Task<void> {
            test->outcome = co_await test->controller.beginSelection();
        }(this);
        ASSERT_TRUE(processEventsUntil([] {
            const auto overlays = visibleWindows<SelectionOverlay>();
            return !overlays.empty() && QTest::qWaitForWindowExposed(overlays.front(), 100);
        }));
        ASSERT_TRUE(processEventsUntil([this] {
            return bar() != nullptr && QTest::qWaitForWindowExposed(bar()->window(), 100);
        }));
        testing::processEventsFor(200ms);
    }
    bool ended() {
        return processEventsUntil([&] { return outcome.has_value(); }, 10s);
    }
    ControlsBar* bar() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = widget->findChild<ControlsBar*>(); found && widget->isVisible()) {
                return found;
            }
        }
        return nullptr;
    }
    // The centre of a widget in global points.
    static Point centre(const QWidget& widget) {
        const QPoint global = widget.mapToGlobal(widget.rect().center());
        return {double(global.x()), double(global.y())};
    }

    MemoryKeyValueStore store;
    Preferences preferences{store};
    std::unique_ptr<ShareableContentSource> desktop = makeX11ShareableContent(x11Options());
    SelectionWindows views{false,
                           [](SelectionModel& model, SelectionViews::ControlsActions actions) {
                               return makeControlsPanel(model, std::move(actions.onStart),
                                                        std::move(actions.onCancel), false);
                           }};
    SelectionController controller{{
        .desktop = [this] { return desktop->content(); },
        .pointer = [] { return toPoint(QCursor::pos()); },
        .ownProcessID = static_cast<std::uint32_t>(::getpid()),
        .preferences = &preferences,
        .views = &views,
        .camera = nullptr,
        .reportError = {},
    }};
    std::optional<std::optional<SelectionResult>> outcome;
};

TEST_F(SelectionGuiTest, EscapeClosesEverythingAndRegionDragsAreKeptFrom24Points) {
    begin();
    xdotool({"key", "Escape"});
    ASSERT_TRUE(ended());
    EXPECT_EQ(*outcome, std::nullopt);
    EXPECT_TRUE(processEventsUntil(
        [this] { return visibleWindows<SelectionOverlay>().empty() && bar() == nullptr; }));

    // Return records a kept region.
    moveTo(300, 200);
    begin();
    const auto overlays = visibleWindows<SelectionOverlay>();
    ASSERT_EQ(overlays.size(), 1u);
    const ShareableDisplay display = overlays.front()->display();
    EXPECT_EQ(QRectF(overlays.front()->geometry()), toQRectF(display.frame));
    SelectionModel& model = *controller.model();
    ASSERT_NE(bar(), nullptr);
    EXPECT_FALSE(bar()->recordButton().isEnabled());

    drag({100, 100}, {130, 120});  // 30 × 20: too low
    EXPECT_TRUE(processEventsUntil([&] { return !model.isDragging(); }));
    EXPECT_EQ(model.selection().region, std::nullopt);
    drag({200, 150}, {224, 174});
    ASSERT_TRUE(processEventsUntil([&] { return !model.isDragging(); }));
    EXPECT_EQ(model.selection().region, (RegionPick{display.id, {200, 150, 24, 24}}));
    EXPECT_TRUE(bar()->recordButton().isEnabled());

    xdotool({"keyup", "Escape"});  // a release alone (a hotkey's) does not cancel
    xdotool({"key", "Return"});
    ASSERT_TRUE(ended());
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->target, CaptureTarget(RegionTarget{display.id, {200, 150, 24, 24}}));
    EXPECT_TRUE(processEventsUntil([] { return visibleWindows<SelectionOverlay>().empty(); }));
}

TEST_F(SelectionGuiTest, WindowModeHoversTheFrontMostQualifyingWindow) {
    using Options = testing::TestWindow::Options;
    const auto make = [this](Options options) {
        if (ratio() != 1) {  // the helper places windows in pixels
            options.x = static_cast<int>(options.x * ratio());
            options.y = static_cast<int>(options.y * ratio());
            options.width = static_cast<int>(options.width * ratio());
            options.height = static_cast<int>(options.height * ratio());
        }
        return std::make_unique<testing::TestWindow>(ZARVEX_TEST_WINDOW, server(), options);
    };
    auto back = make({.x = 100, .y = 150, .width = 400, .height = 250, .title = "Back"});
    auto front = make({.x = 250,
                       .y = 220,
                       .width = 300,
                       .height = 200,
                       .title = "Front",
                       .applicationClass = "Notes"});
    auto tiny = make({.x = 300, .y = 260, .width = 40, .height = 40, .title = "Tiny"});
    auto dock = make(
        {.x = 380, .y = 260, .width = 80, .height = 80, .title = "Dock", .windowType = "DOCK"});
    begin();
    SelectionModel& model = *controller.model();
    ControlsBar* controls = bar();
    ASSERT_NE(controls, nullptr);
    SegmentedControl& modes = controls->modePicker();
    EXPECT_EQ(modes.width(), 240);
    clickAt(toPoint(modes.mapToGlobal(modes.segmentRect(1).center())));
    ASSERT_TRUE(processEventsUntil([&] { return model.selection().mode == CaptureMode::window; }));

    for (const Point at : {Point{310, 270}, Point{400, 280}, Point{320, 300}}) {  // tiny, dock
        moveTo(at.x, at.y);
        ASSERT_TRUE(processEventsUntil([&] {
            return model.selection().hoverWindow &&
                   model.selection().hoverWindow->id == front->id();
        })) << at.x
            << "," << at.y;
    }
    EXPECT_EQ(model.selection().hoverWindow->ownerName, "Notes");
    moveTo(150, 180);
    ASSERT_TRUE(processEventsUntil([&] {
        return model.selection().hoverWindow && model.selection().hoverWindow->id == back->id();
    }));
    xdotool({"click", "1"});
    ASSERT_TRUE(processEventsUntil([&] { return model.selection().windowPick.has_value(); }));
    EXPECT_EQ(model.selection().windowPick->id, back->id());

    clickAt(centre(controls->recordButton()));
    ASSERT_TRUE(ended());
    ASSERT_TRUE(outcome->has_value());
    EXPECT_EQ((*outcome)->target, CaptureTarget(WindowTarget{back->id()}));
}

TEST_F(SelectionGuiTest, ControlsBarSwitchesCarryTheirState) {
    begin();
    ControlsBar* controls = bar();
    ASSERT_NE(controls, nullptr);
    EXPECT_EQ(controls->findChild<ThemedBar*>()->cornerRadius(), 14);
    const std::vector<std::pair<std::string, std::string>> tips{
        {"Microphone on", "Microphone off"},
        {"System audio on", "System audio off"},
        {"Camera on", "Camera off"},
        {"Cursor visible in recording", "Cursor hidden in recording"}};
    SelectionModel& model = *controller.model();
    int cameraSwitches = 0;
    QObject::connect(&model, &SelectionModel::cameraEnabledChanged, [&] { ++cameraSwitches; });
    for (int i = 0; i < 4; ++i) {
        QToolButton& toggle = controls->toggle(i);
        const bool camera = i == 2;  // off by default, and there is no camera here
        EXPECT_EQ(toggle.toolTip().toStdString(), camera ? tips[i].second : tips[i].first);
        clickAt(centre(toggle));
        if (camera) {
            // Switched on, then back off when the camera cannot start.
            ASSERT_TRUE(processEventsUntil([&] { return cameraSwitches == 2; })) << i;
            EXPECT_EQ(toggle.toolTip().toStdString(), tips[i].second);
        } else {
            ASSERT_TRUE(processEventsUntil([&] {
                return toggle.toolTip().toStdString() == tips[i].second;
            })) << i;
        }
    }
    const Selection& now = model.selection();
    EXPECT_EQ(
        std::tuple(now.micEnabled, now.systemAudioEnabled, now.cameraEnabled, now.cursorEnabled),
        std::tuple(false, false, false, false));

    clickAt(centre(controls->cancelButton()));
    ASSERT_TRUE(ended());
    EXPECT_EQ(*outcome, std::nullopt);
}

// Where windows cannot place themselves (Wayland) the flow's views are held
// by one screen-sized window that takes input only where a view does; the
// camera preview stays off screen while held back; a desktop that shares no
// windows disables the Window segment.
TEST(WaylandViewsGui, AStageTakesInputOnlyWhereItsViewsDo) {
    testing::GuiEnvironment::get();
    const ViewHost host = waylandStageHost();
    QScreen* screen = QGuiApplication::primaryScreen();
    const Rect display = toRect(QRectF(screen->geometry()));
    auto badge = countdownWindows(true, host)(3, {100, 100, 180, 180});
    auto frame = recordingFrameWindows(true, host)({50, 60, 306, 206});
    EXPECT_TRUE(visibleWindows<RecordingFrameWindow>().empty());  // views, not windows
    CameraPreviewWindow preview(true);
    preview.setHost(host);
    preview.holdBack(true);
    preview.showPreview();
    WaylandStage& stage = WaylandStage::of(screen);
    ASSERT_TRUE(processEventsUntil([&] { return stage.isVisible(); }));
    EXPECT_TRUE(preview.isHidden());
    EXPECT_TRUE(stage.inputRegion().isEmpty());  // badge and frame let the pointer through
    preview.holdBack(false);
    ASSERT_TRUE(processEventsUntil([&] { return !stage.inputRegion().isEmpty(); }));
    const QRect bubble = preview.frame().toRect().translated(-screen->geometry().topLeft());
    EXPECT_EQ(stage.inputRegion(), QRegion(bubble));
    // A frame around the whole display would be recorded with it: none.
    EXPECT_EQ(stage.findChildren<RecordingFrameWindow*>().size(), 1u);
    auto whole = recordingFrameWindows(true, host)(display);
    EXPECT_EQ(stage.findChildren<RecordingFrameWindow*>().size(), 1u);
    badge.reset();
    frame.reset();
    preview.hidePreview();
    EXPECT_TRUE(processEventsUntil([&] { return stage.isHidden(); }));

    MemoryKeyValueStore store;
    Preferences preferences(store);
    SelectionModel model(Selection::initial(preferences), {}, 0);
    model.chooseWindowsOnDesktop(false);
    ControlsBar bar(model, {}, {});
    bar.show();
    SegmentedControl& modes = bar.modePicker();
    EXPECT_FALSE(modes.isSegmentEnabled(1));
    EXPECT_EQ(modes.segmentToolTip(1), "This desktop shares whole displays only.");
    QTest::mouseClick(&modes, Qt::LeftButton, {}, modes.segmentRect(1).center());
    EXPECT_EQ(model.selection().mode, CaptureMode::region);
    QTest::mouseClick(&modes, Qt::LeftButton, {}, modes.segmentRect(0).center());
    EXPECT_EQ(model.selection().mode, CaptureMode::screen);
}

// A recording of the whole display while the frame and the camera preview are
// on it: neither is in the movie.
TEST(MarksGui, TheFrameFollowsItsTargetAndIsNeverRecorded) {
    testing::GuiEnvironment::get();
    testing::TempDir folder;
    auto content = makeX11ShareableContent(x11Options());
    const ShareableDisplay display = content->content().displays.at(0);
    RecordingIndicator indicator([&] { return content->content(); },
                                 [&](WindowID id) { return content->windowFrame(id); },
                                 recordingFrameWindows(false));
    indicator.show(RegionTarget{display.id, {100, 120, 300, 200}});
    ASSERT_EQ(visibleWindows<RecordingFrameWindow>().size(), 1u);
    RecordingFrameWindow* frame = visibleWindows<RecordingFrameWindow>().front();
    EXPECT_EQ(QRectF(frame->geometry()),
              QRectF(display.frame.x + 97, display.frame.y + 117, 306, 206));
    EXPECT_TRUE(frame->windowFlags().testFlag(Qt::WindowTransparentForInput));

    indicator.show(DisplayTarget{display.id});
    ASSERT_EQ(visibleWindows<RecordingFrameWindow>().size(), 1u);
    frame = visibleWindows<RecordingFrameWindow>().front();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    EXPECT_EQ(toRect(QRectF(frame->geometry())), display.frame);
    CameraPreviewWindow preview(false);
    preview.showPreview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    testing::FakeCamera previewCamera(64, 48);
    previewCamera.start([&](const CameraFrame& frame) { preview.preview()->present(frame); });
    previewCamera.deliverFrame(HostTime{}, 235);  // white
    ASSERT_TRUE(processEventsUntil([&] { return !preview.picture().isNull(); }));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(preview.geometry(),
              QRect(available.right() + 1 - 184, available.bottom() + 1 - 184, 160, 160));
    testing::processEventsFor(300ms);
    // On screen the frame's line is red and the preview white.
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const double r = QGuiApplication::primaryScreen()->devicePixelRatio();
    const int w = static_cast<int>(display.frame.width * r);
    const int h = static_cast<int>(display.frame.height * r);
    const QPoint camera = preview.geometry().center() * r;
    EXPECT_GT(qRed(screen.pixel(int(r), h / 2)), 150);
    EXPECT_GT(qGreen(screen.pixel(camera)), 200);

    auto screenCapture = makeX11ScreenCapture(x11Options());
    const CaptureServices services{content.get(),  screenCapture.get(),
                                   nullptr,        {},
                                   &systemClock(), static_cast<std::uint32_t>(::getpid())};
    MemoryKeyValueStore store;
    Preferences preferences(store);
    preferences.setRecordingsFolder(folder.path().string());
    testing::NoWebcam webcam;
    RecordingSession session(services, webcam,
                             {DisplayTarget{display.id}, false, false, false, false}, preferences);
    session.start();
    testing::processEventsFor(600ms);
    const auto movie = session.stop() / "screen.mov";
    for (const auto& [x, y] : {std::pair{1, h / 2}, std::pair{w / 2, 1}, std::pair{w - 2, h / 2},
                               std::pair{camera.x(), camera.y()}}) {
        EXPECT_EQ(testing::colourAt(movie, 0.2, x, y), 0x000000u) << x << "," << y;
    }
    indicator.hide();
    EXPECT_TRUE(visibleWindows<RecordingFrameWindow>().empty());
}

}  // namespace
}  // namespace zarvex
