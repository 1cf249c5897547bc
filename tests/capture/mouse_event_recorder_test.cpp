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

TEST(CaptureRect, OfEachTargetOnTheDesktop) {
    auto content = twoDisplays();
    struct Case {
        CaptureTarget target;
        Rect rect;
    };
    for (const Case& c : std::vector<Case>{
             {DisplayTarget{9}, {1440, -100, 1920, 1080}},
             {RegionTarget{9, Rect{10, 20, 300, 200}}, {1450, -80, 300, 200}},  // display origin
             {RegionTarget{7, Rect{0, 0, 1, 1}}, {0, 0, 1, 1}},
             {WindowTarget{0x400001}, {100, 50, 640, 480}},
             {WindowTarget{0x500001}, {10, 20, 300, 200}},  // also when not on screen
             {WindowTarget{0x999}, {}},                     // unknown targets: the zero rectangle
             {DisplayTarget{8}, {}},
             {RegionTarget{8, Rect{1, 1, 5, 5}}, {}},
         }) {
        EXPECT_EQ(MouseEventRecorder::captureRect(c.target, content), c.rect);
    }
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

// Left and right presses inside the area from T0 on are kept, as fractions of
// the area and times since T0.
TEST_F(MouseEventRecorderTest, RecordsPressesInsideFromT0OnAsFractionsAndTimesSinceT0) {
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    ASSERT_EQ(monitor.mask(), MouseEventMask{10});
    monitor.press(kLeft, 999.999, Point{150, 250});       // before T0
    monitor.press(kLeft, 1000, Point{100, 200});          // top-left corner at T0: kept
    monitor.press(kLeft, 1001, Point{500, 300});          // right edge
    monitor.press(kLeft, 1001, Point{300, 500});          // bottom edge
    monitor.press(kLeft, 1001, Point{99.999, 300});       // just left
    monitor.press(kLeft, 1001, Point{499.999, 499.999});  // just inside the far corner
    EXPECT_TRUE(monitor.press(kLeft, 1001.5, Point{300, 350}));
    EXPECT_TRUE(monitor.press(kRight, 1002.25, Point{200, 425}));
    const auto clicks = recorder.stop().clicks;
    ASSERT_EQ(clicks.size(), 4u);
    EXPECT_EQ(clicks[0], (RecordedClick{0, 0, 0}));
    EXPECT_EQ(std::vector(clicks.begin() + 2, clicks.end()),
              (std::vector<RecordedClick>{{1.5, 0.5, 0.5}, {2.25, 0.25, 0.75}}));
    EXPECT_NEAR(clicks[1].x, 1, 1e-4);
    EXPECT_LT(clicks[1].x, 1);
    EXPECT_LT(clicks[1].y, 1);
}

TEST_F(MouseEventRecorderTest, MonitorIsInstalledOnceWhileRecordingAndNeverForAnEmptyArea) {
    for (const Rect empty : {Rect{}, Rect{10, 10, 0, 50}, Rect{10, 10, 50, -1}}) {
        MouseEventRecorder recorder(monitor, t0, empty);
        recorder.start();
        EXPECT_FALSE(monitor.installed());
        EXPECT_EQ(recorder.stop(), (RecordedEvents{1, {}}));
    }
    EXPECT_EQ(monitor.installCount(), 0);

    EXPECT_EQ(MouseEventRecorder(monitor, t0, area).stop(), (RecordedEvents{1, {}}));
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
    {
        MouseEventRecorder destroyed(monitor, t0, area);
        destroyed.start();
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
    EXPECT_EQ(recorder.stop().clicks, (std::vector<RecordedClick>{{1, 0.5, 0.5}}));
}

}  // namespace
}  // namespace zarvex
