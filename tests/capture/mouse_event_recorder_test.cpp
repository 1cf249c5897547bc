#include "capture/mouse_event_recorder.h"

#include <gtest/gtest.h>

#include "fake_input_monitor.h"
#include "fake_screen_capture.h"

namespace zarvex {
namespace {

using testing::FakeInputMonitor;
using testing::FakeShareableContent;

constexpr auto kLeft = MouseEventType::leftMouseDown;
constexpr auto kRight = MouseEventType::rightMouseDown;

FakeShareableContent twoDisplays() {
    FakeShareableContent content;
    content.current.displays = {
        {7, "HDMI-1", Rect{0, 0, 1440, 900}, 2, true},
        {9, "DP-2", Rect{1440, -100, 1920, 1080}, 1, false},
    };
    content.current.windows = {{0x400001, 4242, "Notes", "Notes", Rect{100, 50, 640, 480}}};
    content.hiddenWindowFrames[0x500001] = Rect{10, 20, 300, 200};
    return content;
}

TEST(CaptureRect, DisplayIsItsFrame) {
    auto content = twoDisplays();
    EXPECT_EQ(MouseEventRecorder::captureRect(DisplayTarget{9}, content),
              (Rect{1440, -100, 1920, 1080}));
}

TEST(CaptureRect, RegionIsOffsetByItsDisplaysOrigin) {
    auto content = twoDisplays();
    EXPECT_EQ(MouseEventRecorder::captureRect(RegionTarget{9, Rect{10, 20, 300, 200}}, content),
              (Rect{1450, -80, 300, 200}));
    EXPECT_EQ(MouseEventRecorder::captureRect(RegionTarget{7, Rect{0, 0, 1, 1}}, content),
              (Rect{0, 0, 1, 1}));
}

TEST(CaptureRect, WindowIsItsFrameAlsoWhenNotOnScreen) {
    auto content = twoDisplays();
    EXPECT_EQ(MouseEventRecorder::captureRect(WindowTarget{0x400001}, content),
              (Rect{100, 50, 640, 480}));
    EXPECT_EQ(MouseEventRecorder::captureRect(WindowTarget{0x500001}, content),
              (Rect{10, 20, 300, 200}));
}

TEST(CaptureRect, UnknownTargetsAndAnUnreachableDesktopGiveTheZeroRectangle) {
    auto content = twoDisplays();
    EXPECT_EQ(MouseEventRecorder::captureRect(WindowTarget{0x999}, content), Rect{});
    EXPECT_EQ(MouseEventRecorder::captureRect(DisplayTarget{8}, content), Rect{});
    EXPECT_EQ(MouseEventRecorder::captureRect(RegionTarget{8, Rect{1, 1, 5, 5}}, content), Rect{});
    content.unreachable = true;
    EXPECT_EQ(MouseEventRecorder::captureRect(DisplayTarget{7}, content), Rect{});
    EXPECT_EQ(MouseEventRecorder::captureRect(WindowTarget{0x400001}, content), Rect{});
}

class MouseEventRecorderTest : public ::testing::Test {
  protected:
    FakeInputMonitor monitor;
    const Rect area{100, 200, 400, 300};
    const double t0 = 1000.0;
};

TEST_F(MouseEventRecorderTest, RecordsLeftAndRightPressesAsFractionsAndTimesSinceT0) {
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    ASSERT_EQ(monitor.mask(), MouseEventMask{10});
    EXPECT_TRUE(monitor.press(kLeft, 1001.5, Point{300, 350}));
    EXPECT_TRUE(monitor.press(kRight, 1002.25, Point{200, 425}));
    const RecordedEvents events = recorder.stop();
    EXPECT_EQ(events.version, 1);
    ASSERT_EQ(events.clicks.size(), 2u);
    EXPECT_DOUBLE_EQ(events.clicks[0].t, 1.5);
    EXPECT_DOUBLE_EQ(events.clicks[0].x, 0.5);
    EXPECT_DOUBLE_EQ(events.clicks[0].y, 0.5);
    EXPECT_DOUBLE_EQ(events.clicks[1].t, 2.25);
    EXPECT_DOUBLE_EQ(events.clicks[1].x, 0.25);
    EXPECT_DOUBLE_EQ(events.clicks[1].y, 0.75);
}

TEST_F(MouseEventRecorderTest, MinimumEdgesAreInsideAndMaximumEdgesOutside) {
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    monitor.press(kLeft, 1001, Point{100, 200});          // top-left corner: kept
    monitor.press(kLeft, 1001, Point{500, 300});          // right edge
    monitor.press(kLeft, 1001, Point{300, 500});          // bottom edge
    monitor.press(kLeft, 1001, Point{99.999, 300});       // just left
    monitor.press(kLeft, 1001, Point{499.999, 499.999});  // just inside the far corner
    const auto clicks = recorder.stop().clicks;
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0], (RecordedClick{1, 0, 0}));
    EXPECT_NEAR(clicks[1].x, 1, 1e-4);
    EXPECT_LT(clicks[1].x, 1);
    EXPECT_LT(clicks[1].y, 1);
}

TEST_F(MouseEventRecorderTest, PressesBeforeT0AreDroppedAndT0ItselfIsKept) {
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    monitor.press(kLeft, 999.999, Point{150, 250});
    monitor.press(kLeft, 1000.0, Point{150, 250});
    const auto clicks = recorder.stop().clicks;
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].t, 0);
}

TEST_F(MouseEventRecorderTest, AnEmptyRectangleInstallsNoMonitor) {
    for (const Rect empty : {Rect{}, Rect{10, 10, 0, 50}, Rect{10, 10, 50, -1}}) {
        MouseEventRecorder recorder(monitor, t0, empty);
        recorder.start();
        EXPECT_FALSE(monitor.installed());
        EXPECT_EQ(recorder.stop(), (RecordedEvents{1, {}}));
    }
    EXPECT_EQ(monitor.installCount(), 0);
}

TEST_F(MouseEventRecorderTest, StartTwiceInstallsOnceAndStopRemovesTheMonitor) {
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    recorder.start();
    EXPECT_EQ(monitor.installCount(), 1);
    monitor.press(kLeft, 1001, Point{150, 250});
    const RecordedEvents first = recorder.stop();
    EXPECT_FALSE(monitor.installed());
    EXPECT_FALSE(monitor.press(kLeft, 1002, Point{150, 250}));
    // The clicks are kept, and a second stop returns them again.
    EXPECT_EQ(recorder.stop(), first);
    EXPECT_EQ(first.clicks.size(), 1u);
}

TEST_F(MouseEventRecorderTest, StopWithoutStartReturnsAnEmptyList) {
    MouseEventRecorder recorder(monitor, t0, area);
    EXPECT_EQ(recorder.stop(), (RecordedEvents{1, {}}));
}

TEST_F(MouseEventRecorderTest, DestroyingTheRecorderRemovesTheMonitor) {
    {
        MouseEventRecorder recorder(monitor, t0, area);
        recorder.start();
        EXPECT_TRUE(monitor.installed());
    }
    EXPECT_FALSE(monitor.installed());
}

TEST_F(MouseEventRecorderTest, AWindowKeepsTheRectangleItHadAtStart) {
    auto content = twoDisplays();
    MouseEventRecorder recorder(monitor, t0,
                                MouseEventRecorder::captureRect(WindowTarget{0x400001}, content));
    content.current.windows[0].frame = Rect{800, 600, 640, 480};  // moved after start
    recorder.start();
    monitor.press(kLeft, 1001, Point{420, 290});   // inside the old frame
    monitor.press(kLeft, 1001, Point{1000, 900});  // inside the new frame only
    const auto clicks = recorder.stop().clicks;
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_DOUBLE_EQ(clicks[0].x, 0.5);
    EXPECT_DOUBLE_EQ(clicks[0].y, 0.5);
}

}  // namespace
}  // namespace zarvex
