// Target selection without a display: the model's input rules, the
// controller's windows and result, and the camera preview it drives.

#include "flow/selection_controller.h"

#include <gtest/gtest.h>

#include "flow_fakes.h"

namespace zarvex {
namespace {

using testing::processEventsUntil;

const ShareableDisplay kLeft{1, "A", {0, 0, 320, 240}, 1, true};
const ShareableDisplay kRight{2, "B", {320, 0, 640, 480}, 2, false};
constexpr std::uint32_t kOwnProcess = 77;

class SelectionModelTest : public ::testing::Test {
  protected:
    SelectionModelTest() {
        testing::coreApplication();
        QObject::connect(&model, &SelectionModel::changed, [this] { ++changes; });
        QObject::connect(&model, &SelectionModel::cameraEnabledChanged,
                         [this](bool on) { cameraSignals.push_back(on); });
    }

    std::vector<ShareableWindow> windows{{5, kOwnProcess, "Overlay", "zarvex", {0, 0, 960, 480}},
                                         {6, 10, "Notes", "Notes", {10, 10, 200, 100}},
                                         {7, 11, "Editor", "", {0, 0, 900, 400}}};
    SelectionModel model{Selection{}, [this] { return windows; }, kOwnProcess};
    int changes = 0;
    std::vector<bool> cameraSignals;
};

TEST_F(SelectionModelTest, ARegionDragBelongsToTheOverlayItStartedOn) {
    model.press(kRight, {10, 10}, {330, 10});
    model.drag(kRight, {130.4, 49.6});
    EXPECT_EQ(model.selection().region, (RegionPick{2, {10, 10, 120, 40}}));
    // Other displays' overlays do not take part in this drag.
    model.drag(kLeft, {5, 5});
    EXPECT_EQ(model.selection().region, (RegionPick{2, {10, 10, 120, 40}}));
    model.release();
    EXPECT_FALSE(model.isDragging());
    EXPECT_EQ(model.selection().region, (RegionPick{2, {10, 10, 120, 40}}));
    // A new press starts over.
    model.press(kLeft, {100, 100}, {100, 100});
    EXPECT_EQ(model.selection().region, std::nullopt);
    model.release();
}

TEST_F(SelectionModelTest, WindowModeHoversAndPicksTheWindowUnderThePointer) {
    model.hover({20, 20});  // region mode: no hit test
    EXPECT_EQ(model.selection().hoverWindow, std::nullopt);

    model.setMode(CaptureMode::window);
    changes = 0;
    model.hover({20, 20});
    model.hover({21, 22});  // the same window: nothing changes
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(model.selection().hoverWindow, (WindowPick{6, {10, 10, 200, 100}, "Notes"}));
    model.press(kLeft, {500, 300}, {500, 300});  // the hovered window is picked
    EXPECT_EQ(model.selection().windowPick->id, 6u);

    model.hover({950, 470});  // over nothing
    EXPECT_EQ(model.selection().hoverWindow, std::nullopt);
    windows.erase(windows.begin() + 1);
    model.press(kLeft, {30, 30}, {30, 30});  // no hover: the window under the pointer
    EXPECT_EQ(model.selection().windowPick,
              (WindowPick{7, {0, 0, 900, 400}, std::string(kUnnamedWindowOwner)}));
    model.press(kLeft, {950, 470}, {950, 470});
    EXPECT_EQ(model.selection().windowPick, std::nullopt);
}

TEST_F(SelectionModelTest, ScreenModeClickSelectsThatDisplayAndTheCameraSwitchIsAnnounced) {
    model.setMode(CaptureMode::screen);
    model.press(kRight, {1, 1}, {321, 1});
    EXPECT_EQ(model.selection().selectedDisplayID, 2u);
    EXPECT_TRUE(model.canStart());

    model.setCameraEnabled(true);
    model.setCameraEnabled(true);
    model.setMicEnabled(false);
    model.setCameraEnabled(false);
    EXPECT_EQ(cameraSignals, (std::vector<bool>{true, false}));
}

// Windows the controller showed, as the test sees them.
class FakeSelectionViews : public SelectionViews {
  public:
    struct Shown {
        bool overlay = true;
        DisplayID display = 0;
        bool open = true;
        bool key = false;
        OverlayActions overlayActions;
        ControlsActions controlsActions;
    };

    std::vector<std::shared_ptr<Shown>> shown;

    std::unique_ptr<SelectionWindow> showOverlay(SelectionModel&, const ShareableDisplay& display,
                                                 OverlayActions actions) override {
        return show({true, display.id, true, false, actions, {}});
    }
    std::unique_ptr<SelectionWindow> showControls(SelectionModel&, const ShareableDisplay& display,
                                                  ControlsActions actions) override {
        return show({false, display.id, true, false, {}, actions});
    }
    int open() const {
        return static_cast<int>(
            std::count_if(shown.begin(), shown.end(), [](const auto& s) { return s->open; }));
    }

  private:
    std::unique_ptr<SelectionWindow> show(Shown window) {
        shown.push_back(std::make_shared<Shown>(std::move(window)));
        return std::make_unique<Handle>(shown.back());
    }

    class Handle : public SelectionWindow {
      public:
        explicit Handle(std::shared_ptr<Shown> shown) : shown_(std::move(shown)) {}
        ~Handle() override { shown_->open = false; }
        void makeKey() override { shown_->key = true; }

      private:
        std::shared_ptr<Shown> shown_;
    };
};

// The desktop's window chooser: each choice waits until the test answers it.
class FakeWindowChooser : public WindowChooser {
  public:
    bool offered = true;
    int asked = 0;
    std::shared_ptr<Completion<std::optional<WindowPick>>> pending;
    std::vector<std::optional<WindowID>> kept;

    bool offersWindows() override { return offered; }
    QCoro::Task<std::optional<WindowPick>> choose(bool) override {
        ++asked;
        const auto answer = pending = std::make_shared<Completion<std::optional<WindowPick>>>();
        co_return co_await answer->wait();
    }
    void keepOnly(std::optional<WindowID> window) override { kept.push_back(window); }
};

class SelectionControllerTest : public ::testing::Test {
  protected:
    SelectionControllerTest() { testing::coreApplication(); }

    // Begins a selection on `selecting` (the test's controller when null)
    // that the test ends; its outcome lands in `outcome`.
    SelectionModel* begin(SelectionController* selecting = nullptr) {
        SelectionController& chosen = selecting ? *selecting : controller;
        outcome.reset();
        [](SelectionController& chosen, Outcome& outcome) -> QCoro::Task<void> {
            outcome = co_await chosen.beginSelection();
        }(chosen, outcome);
        return chosen.model();
    }
    static ShareableContent twoDisplays() { return {{kLeft, kRight}, {}}; }
    bool ended() {
        return processEventsUntil([&] { return outcome.has_value(); });
    }

    MemoryKeyValueStore store;
    Preferences preferences{store};
    FakeSelectionViews views;
    testing::CameraRig camera;
    Point pointer{500, 100};  // on the right display
    std::vector<std::string> errors;
    SelectionController controller{{
        .desktop = twoDisplays,
        .pointer = [this] { return pointer; },
        .ownProcessID = kOwnProcess,
        .preferences = &preferences,
        .views = &views,
        .camera = &camera.controller,
        .reportError = [this](const std::string& message) { errors.push_back(message); },
    }};
    using Outcome = std::optional<std::optional<SelectionResult>>;
    Outcome outcome;
};

// Where the desktop's chooser picks windows, switching to window mode and a
// press in it ask the chooser (one dialog at a time); its pick is recorded and
// every other one is let go when the selection ends. A desktop that shares no
// windows keeps window mode out of reach.
TEST_F(SelectionControllerTest, TheDesktopsChooserPicksWindows) {
    FakeWindowChooser chooser;
    SelectionController desktop{{
        .desktop = twoDisplays,
        .pointer = [this] { return pointer; },
        .preferences = &preferences,
        .views = &views,
        .windowChooser = &chooser,
        .reportError = {},
    }};
    SelectionModel* model = begin(&desktop);
    model->setMode(CaptureMode::window);
    model->press(kLeft, {5, 5}, {5, 5});  // while the dialog is open: no second one
    EXPECT_EQ(chooser.asked, 1);
    chooser.pending->complete(std::nullopt);  // cancelled
    testing::processEventsFor(std::chrono::milliseconds(20));
    EXPECT_FALSE(model->canStart());
    model->press(kLeft, {5, 5}, {5, 5});
    EXPECT_EQ(chooser.asked, 2);
    chooser.pending->complete(WindowPick{9, {}, "Window"});
    ASSERT_TRUE(processEventsUntil([&] { return model->canStart(); }));
    desktop.confirm();
    ASSERT_TRUE(ended());
    EXPECT_EQ(*outcome, (SelectionResult{WindowTarget{9}, true, true, false, true}));
    EXPECT_EQ(chooser.kept, std::vector<std::optional<WindowID>>{9u});

    chooser.offered = false;
    model = begin(&desktop);
    EXPECT_FALSE(model->windowsOffered());
    model->setMode(CaptureMode::window);
    EXPECT_EQ(model->selection().mode, CaptureMode::region);
    EXPECT_EQ(chooser.asked, 2);
    desktop.cancel();
    ASSERT_TRUE(ended());
    EXPECT_EQ(chooser.kept.back(), std::nullopt);
}

// One selection at a time, on every display, finished exactly once.
TEST_F(SelectionControllerTest, CoversEveryDisplayAndConfirmsOnlyAPick) {
    begin();
    EXPECT_EQ(QCoro::waitFor(controller.beginSelection()), std::nullopt);  // a second one
    ASSERT_EQ(views.shown.size(), 3u);
    EXPECT_TRUE(views.shown[0]->overlay && views.shown[1]->overlay);
    EXPECT_EQ(views.shown[0]->display, 1u);
    EXPECT_FALSE(views.shown[0]->key);
    EXPECT_TRUE(views.shown[1]->key);  // the pointer's display
    EXPECT_FALSE(views.shown[2]->overlay);
    EXPECT_EQ(views.shown[2]->display, 2u);  // the controls bar, on the pointer's display

    SelectionModel* model = controller.model();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->selection().mode, CaptureMode::region);
    EXPECT_EQ(model->selection().selectedDisplayID, 2u);
    views.shown[0]->overlayActions.onReturn();  // no region yet: nothing happens
    EXPECT_TRUE(controller.isSelecting());
    views.shown[1]->overlayActions.onEscape();
    controller.finish(SelectionResult{DisplayTarget{1}});  // already finished
    ASSERT_TRUE(ended());
    EXPECT_EQ(*outcome, std::nullopt);
    EXPECT_FALSE(controller.isSelecting());
    EXPECT_EQ(views.open(), 0);
    EXPECT_EQ(controller.model(), nullptr);

    model = begin();  // a new one may begin now
    EXPECT_EQ(views.open(), 3);
    model->setMode(CaptureMode::screen);  // the pointer's display is preselected
    views.shown[5]->controlsActions.onStart();
    ASSERT_TRUE(ended());
    EXPECT_EQ(*outcome, (SelectionResult{DisplayTarget{2}, true, true, false, true}));
    EXPECT_EQ(views.open(), 0);
}

TEST_F(SelectionControllerTest, CameraRunsWhileItsSwitchIsOnAndStaysForARecording) {
    preferences.setDefaultCameraEnabled(true);
    begin();
    ASSERT_TRUE(processEventsUntil([&] { return camera.running && camera.preview.shown == 1; }));
    controller.model()->setCameraEnabled(false);
    ASSERT_TRUE(processEventsUntil([&] { return !camera.running; }));
    controller.model()->setCameraEnabled(true);
    ASSERT_TRUE(processEventsUntil([&] { return camera.running && camera.preview.shown == 2; }));
    controller.model()->setMode(CaptureMode::screen);
    controller.confirm();
    ASSERT_TRUE(ended());
    ASSERT_TRUE(outcome->has_value());
    EXPECT_TRUE((*outcome)->cameraEnabled);
    testing::processEventsFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(camera.running);  // left running for the recording

    begin();  // the camera switch is on again; cancelling stops the camera
    controller.cancel();
    ASSERT_TRUE(ended());
    ASSERT_TRUE(processEventsUntil([&] { return !camera.running; }));
    EXPECT_EQ(camera.threads(), std::set<std::string>{CameraController::kThreadName});
    EXPECT_TRUE(errors.empty());
}

TEST_F(SelectionControllerTest, ACameraThatFailsTurnsItsSwitchBackOff) {
    camera.startFailure = kNoCameraMessage;
    preferences.setDefaultCameraEnabled(true);
    begin();
    // At the start the failure is dropped…
    ASSERT_TRUE(processEventsUntil([&] { return !controller.model()->selection().cameraEnabled; }));
    EXPECT_TRUE(errors.empty());
    // …after the user's own switch it is the error line.
    controller.model()->setCameraEnabled(true);
    ASSERT_TRUE(processEventsUntil([&] { return !controller.model()->selection().cameraEnabled; }));
    EXPECT_EQ(errors, std::vector<std::string>{"Recording failed: No camera available."});
    controller.cancel();
    ASSERT_TRUE(ended());
}

}  // namespace
}  // namespace zarvex
