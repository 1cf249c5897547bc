// The rules of target selection, the countdown, the recording frame and the
// camera preview, without a display.

#include <gtest/gtest.h>

#include "capture/elapsed_text.h"
#include "capture/indicator_geometry.h"
#include "capture/selection_rules.h"

namespace zarvex {
namespace {

using Kind = OverlayLook::Kind;
using Stroke = OverlayLook::Stroke;

// Two displays side by side, the second at twice the pixel density.
const std::vector<ShareableDisplay> kDisplays{{1, "A", {0, 0, 1440, 900}, 1, true},
                                              {2, "B", {1440, 0, 960, 540}, 2, false}};

TEST(Selection, StartsInRegionModeWithTheStoredSwitchesAndNoPick) {
    MemoryKeyValueStore store;
    Preferences preferences(store);
    preferences.setDefaultMicEnabled(false);
    preferences.setDefaultCameraEnabled(true);
    const Selection s = Selection::initial(preferences);
    EXPECT_EQ(std::tuple(s.mode, s.micEnabled, s.systemAudioEnabled, s.cameraEnabled,
                         s.cursorEnabled, s.canStart()),
              std::tuple(CaptureMode::region, false, true, true, true, false));
}

TEST(Selection, TheCurrentModesPickMakesTheTarget) {
    Selection selection;
    selection.selectedDisplayID = 2;
    selection.hoverWindow = WindowPick{9, {10, 10, 100, 100}, "Notes"};
    selection.region = RegionPick{1, {5, 6, 70, 80}};
    selection.micEnabled = false;

    selection.mode = CaptureMode::window;  // a hovered window never counts
    EXPECT_FALSE(selection.canStart());
    EXPECT_EQ(selection.makeResult(), std::nullopt);
    selection.windowPick = WindowPick{7, {0, 0, 60, 60}, "Mail"};
    EXPECT_EQ(selection.makeTarget(), CaptureTarget(WindowTarget{7}));

    selection.mode = CaptureMode::screen;
    EXPECT_EQ(selection.makeTarget(), CaptureTarget(DisplayTarget{2}));
    selection.mode = CaptureMode::region;
    EXPECT_EQ(selection.makeResult(),
              (SelectionResult{RegionTarget{1, {5, 6, 70, 80}}, false, true, false, true}));
}

TEST(RegionDrag, SpansEitherWayIsClippedRoundedAndKeptFrom24Points) {
    EXPECT_EQ(dragRectangle({300, 200}, {100, 50}, {1440, 900}), (Rect{100, 50, 200, 150}));
    EXPECT_EQ(dragRectangle({1400, 850}, {1600, 1000}, {1440, 900}), (Rect{1400, 850, 40, 50}));
    EXPECT_EQ(dragRectangle({10, 10}, {-30, -40}, {1440, 900}), (Rect{0, 0, 10, 10}));

    // A pick is rounded half away from zero and needs one point.
    EXPECT_EQ(regionPick({10.4, 750, 200.5, 50}, 3), (RegionPick{3, {10, 750, 201, 50}}));
    EXPECT_EQ(regionPick({0.5, 2.5, 1, 1}, 3), (RegionPick{3, {1, 3, 1, 1}}));
    EXPECT_EQ(regionPick({10, 10, 0.9, 100}, 3), std::nullopt);
    EXPECT_EQ(regionPick({10, 10, 100, 0}, 3), std::nullopt);

    // Release keeps only regions of at least 24 points.
    EXPECT_EQ(regionKeptOnRelease(RegionPick{1, {0, 0, 30, 20}}), std::nullopt);
    EXPECT_EQ(regionKeptOnRelease(RegionPick{1, {0, 0, 23, 400}}), std::nullopt);
    EXPECT_EQ(regionKeptOnRelease(RegionPick{1, {0, 0, 24, 24}}), (RegionPick{1, {0, 0, 24, 24}}));
    EXPECT_EQ(regionKeptOnRelease(std::nullopt), std::nullopt);
}

TEST(WindowHitTest, FrontMostQualifyingWindowUnderThePointer) {
    constexpr std::uint32_t kOwn = 100;
    const Rect big{0, 0, 400, 300};
    ShareableWindow own{1, kOwn, "Overlay", "zarvex", big};
    ShareableWindow dock{2, 5, "Panel", "Tray", big, 1};
    ShareableWindow clear{3, 5, "Ghost", "Ghost", big, kNormalWindowLayer, 0};
    ShareableWindow narrow{4, 5, "Narrow", "Narrow", {0, 0, 49, 300}};
    ShareableWindow flat{5, 5, "Flat", "Flat", {0, 0, 300, 49.5}};
    ShareableWindow front{6, 5, "Front", "", {0, 0, 50, 50}};
    ShareableWindow back{7, 6, "Back", "Editor", big};

    const std::vector<ShareableWindow> list{own, dock, clear, narrow, flat, front, back};
    // The smallest window that qualifies, front-most, without an owner name.
    EXPECT_EQ(windowUnderPointer(list, {10, 10}, kOwn),
              (WindowPick{6, {0, 0, 50, 50}, std::string(kUnnamedWindowOwner)}));
    // The right and bottom edges are outside.
    EXPECT_EQ(windowUnderPointer(list, {50, 10}, kOwn), (WindowPick{7, big, "Editor"}));
    EXPECT_EQ(windowUnderPointer(list, {400, 10}, kOwn), std::nullopt);
    EXPECT_EQ(windowUnderPointer({}, {10, 10}, kOwn), std::nullopt);
}

TEST(SizeLabel, ShowsTruncatedPixelsBelowTheRectangleOrInsideItAtTheBottom) {
    EXPECT_EQ(sizeLabelText({100, 50}, 2), "200 × 100");
    EXPECT_EQ(sizeLabelText({10.7, 33.9}, 1.5), "16 × 50");
    EXPECT_EQ(sizeLabelText({24, 24}, 1), "24 × 24");

    // Below the rectangle, or inside it at the view's bottom.
    const Size text{60, 13};
    EXPECT_EQ(sizeLabelBox({100, 200, 300, 100}, text, {1440, 900}), (Rect{100, 304, 72, 25}));
    // Below, the box would end at 871 + 4 + 25 = 900: it fits a view 900 high, not one less.
    EXPECT_EQ(sizeLabelBox({100, 571, 300, 300}, text, {1440, 900}), (Rect{100, 875, 72, 25}));
    EXPECT_EQ(sizeLabelBox({100, 571, 300, 300}, text, {1440, 899.5}), (Rect{100, 842, 72, 25}));
}

TEST(OverlayLook, FollowsTheModeAndThePicks) {
    const ShareableDisplay& a = kDisplays[0];
    const ShareableDisplay& b = kDisplays[1];
    Selection selection;
    EXPECT_EQ(overlayLook(selection, a), OverlayLook{});  // fresh: every display dimmed

    selection.mode = CaptureMode::screen;
    selection.selectedDisplayID = 2;
    EXPECT_EQ(overlayLook(selection, a).kind, Kind::dimmed);
    EXPECT_EQ(overlayLook(selection, b),
              (OverlayLook{Kind::selectedDisplay, {2, 2, 956, 536}, 4, Stroke::accent}));

    selection.mode = CaptureMode::region;
    selection.region = RegionPick{2, {10, 20, 30, 40}};
    EXPECT_EQ(overlayLook(selection, a).kind, Kind::dimmed);
    EXPECT_EQ(overlayLook(selection, b),
              (OverlayLook{Kind::cutOut, {10, 20, 30, 40}, 2, Stroke::accent}));

    selection.mode = CaptureMode::window;
    selection.hoverWindow = WindowPick{7, {1400, 100, 200, 100}, "Notes"};  // across both
    EXPECT_EQ(overlayLook(selection, a),
              (OverlayLook{Kind::cutOut, {1400, 100, 200, 100}, 1.5, Stroke::white}));
    EXPECT_EQ(overlayLook(selection, b),
              (OverlayLook{Kind::cutOut, {-40, 100, 200, 100}, 1.5, Stroke::white}));
    selection.windowPick = WindowPick{8, {100, 100, 200, 100}, "Mail"};  // the pick wins
    EXPECT_EQ(overlayLook(selection, a),
              (OverlayLook{Kind::cutOut, {100, 100, 200, 100}, 2, Stroke::accent}));
    EXPECT_EQ(overlayLook(selection, b).kind, Kind::dimmed);
}

TEST(Displays, PointerDisplayControlsBarAndCountdownScreen) {
    EXPECT_EQ(displayAt(kDisplays, {1440, 10})->id, 2u);  // the left edge belongs to B
    EXPECT_EQ(displayAt(kDisplays, {1439, 899})->id, 1u);
    EXPECT_EQ(displayAt(kDisplays, {3000, 3000})->id, 1u);  // none: the main display
    EXPECT_EQ(displayAt({}, {0, 0}), nullptr);

    EXPECT_EQ(controlsBarOrigin({1440, 0, 960, 540}, {500, 52}), (Point{1670, 392}));

    EXPECT_EQ(countdownDisplay(RegionTarget{2, {}}, kDisplays)->id, 2u);
    EXPECT_EQ(countdownDisplay(DisplayTarget{2}, kDisplays)->id, 2u);
    EXPECT_EQ(countdownDisplay(DisplayTarget{9}, kDisplays)->id, 1u);
    EXPECT_EQ(countdownDisplay(WindowTarget{2}, kDisplays)->id, 1u);  // always the main one
    EXPECT_EQ(countdownDisplay(DisplayTarget{1}, {}), nullptr);
    EXPECT_EQ(centredIn({1440, 0, 960, 540}, {180, 180}), (Rect{1830, 180, 180, 180}));
}

TEST(RecordingFrame, HugsADisplayAndSurroundsRegionsAndWindows) {
    const ShareableContent content{kDisplays, {}};
    const WindowFrameLookup windows = [](WindowID id) -> std::optional<Rect> {
        return id == 5 ? std::optional(Rect{100, 50, 640, 480}) : std::nullopt;
    };
    EXPECT_EQ(indicatorFrame(DisplayTarget{2}, content, windows), (Rect{1440, 0, 960, 540}));
    EXPECT_EQ(indicatorFrame(RegionTarget{2, {10, 20, 300, 200}}, content, windows),
              (Rect{1447, 17, 306, 206}));
    EXPECT_EQ(indicatorFrame(WindowTarget{5}, content, windows), (Rect{97, 47, 646, 486}));
    EXPECT_EQ(indicatorFrame(WindowTarget{6}, content, windows), std::nullopt);
    EXPECT_EQ(indicatorFrame(DisplayTarget{9}, content, windows), std::nullopt);
    EXPECT_EQ(indicatorFrame(RegionTarget{9, {0, 0, 30, 30}}, content, windows), std::nullopt);

    // The 2.5-point line runs from the window's edge 2.5 points inwards.
    EXPECT_EQ(frameOutline({306, 206}), (Rect{1.25, 1.25, 303.5, 203.5}));
}

TEST(CameraPreview, SitsAtTheBottomRightOfTheUsableArea) {
    EXPECT_EQ(cameraPreviewFrame({0, 0, 1440, 876}), (Rect{1256, 692, 160, 160}));
    EXPECT_EQ(cameraPreviewFrame({1440, 24, 960, 516}), (Rect{2216, 356, 160, 160}));
}

TEST(ElapsedText, WholeMinutesAndSecondsWithoutHours) {
    using namespace std::chrono;
    EXPECT_EQ(elapsedText(nanoseconds(0)), "0:00");
    EXPECT_EQ(elapsedText(milliseconds(59'999)), "0:59");
    EXPECT_EQ(elapsedText(milliseconds(61'400)), "1:01");
    EXPECT_EQ(elapsedText(minutes(75) + seconds(3)), "75:03");
}

}  // namespace
}  // namespace zarvex
