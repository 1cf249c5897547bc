// Clicks made with xdotool on a private Xvfb, seen by the X input monitor and
// the mouse event recorder.

#include <gtest/gtest.h>

#include "capture/mouse_event_recorder.h"
#include "capture/x11/x11_backend.h"
#include "counting_input_monitor.h"
#include "x11_test_support.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using testing::CountingMonitor;
using testing::Xvfb;

class MouseTest : public ::testing::Test {
  protected:
    Xvfb server{1024, 768};
    X11Options options{server.display(), {}, &systemClock()};
    std::unique_ptr<ShareableContentSource> content = makeX11ShareableContent(options);
    std::unique_ptr<InputMonitor> x11Monitor = makeX11InputMonitor(options);
    CountingMonitor monitor{*x11Monitor};

    void click(int x, int y, int button = 1) {
        testing::runXClient(server, {"xdotool", "mousemove", std::to_string(x), std::to_string(y),
                                     "click", std::to_string(button)});
    }

    Rect regionRect(const Rect& rect) {
        const DisplayID display = content->content().displays.at(0).id;
        return MouseEventRecorder::captureRect(RegionTarget{display, rect}, *content);
    }
};

TEST_F(MouseTest, ClicksInsideTheRegionAreRecordedWithFractionsAndTimes) {
    const Rect area = regionRect(Rect{100, 100, 400, 200});
    ASSERT_EQ(area, (Rect{100, 100, 400, 200}));
    const double t0 = toSeconds(systemClock().now());
    MouseEventRecorder recorder(monitor, t0, area);
    recorder.start();
    click(300, 200);     // the middle
    click(100, 100, 3);  // the top-left corner, right button
    click(500, 200);     // on the right edge: outside
    click(300, 300);     // on the bottom edge: outside
    click(50, 50);       // elsewhere
    click(499, 299);     // the last pixel inside
    ASSERT_TRUE(monitor.waitForPresses(6));
    const double elapsed = toSeconds(systemClock().now()) - t0;
    const RecordedEvents events = recorder.stop();

    ASSERT_EQ(events.clicks.size(), 3u);
    EXPECT_DOUBLE_EQ(events.clicks[0].x, 0.5);
    EXPECT_DOUBLE_EQ(events.clicks[0].y, 0.5);
    EXPECT_DOUBLE_EQ(events.clicks[1].x, 0);
    EXPECT_DOUBLE_EQ(events.clicks[1].y, 0);
    EXPECT_DOUBLE_EQ(events.clicks[2].x, 399.0 / 400);
    EXPECT_DOUBLE_EQ(events.clicks[2].y, 199.0 / 200);
    double previous = 0;
    for (const auto& clicked : events.clicks) {
        // X stamps are whole milliseconds; allow for the rounding.
        EXPECT_GE(clicked.t, previous);
        EXPECT_GE(clicked.t, -0.002);
        EXPECT_LE(clicked.t, elapsed + 0.002);
        previous = clicked.t;
    }
}

TEST_F(MouseTest, PressesBeforeT0AreDropped) {
    const double t0 = toSeconds(systemClock().now()) + 1000;  // as if queued before T0
    MouseEventRecorder recorder(monitor, t0, regionRect(Rect{0, 0, 1024, 768}));
    recorder.start();
    click(10, 10);
    ASSERT_TRUE(monitor.waitForPresses(1));
    EXPECT_TRUE(recorder.stop().clicks.empty());
}

TEST_F(MouseTest, MonitorReportsOnlyTheMaskedButtonsWithTheirPosition) {
    auto token = monitor.addGlobalMonitor(eventMask(MouseEventType::rightMouseDown),
                                          [](const MouseEvent&) {});
    click(20, 30, 2);  // middle
    click(40, 50, 1);  // left, not asked for
    click(60, 70, 3);  // right
    ASSERT_TRUE(monitor.waitForPresses(1));
    // Presses arrive in order, so nothing else is on its way.
    token.reset();
    const auto events = monitor.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, MouseEventType::rightMouseDown);
    EXPECT_EQ(events[0].location, (Point{60, 70}));
    const HostTime now = systemClock().now();
    EXPECT_LE(events[0].timestamp, now);
    EXPECT_GT(events[0].timestamp, now - std::chrono::seconds(20));
}

TEST_F(MouseTest, PositionsAreInPointsOfTheDisplay) {
    X11Options scaled = options;
    scaled.scaleForOutput = [](const std::string&) { return 2.0; };
    auto scaledMonitor = makeX11InputMonitor(scaled);
    CountingMonitor counting(*scaledMonitor);
    auto token = counting.addGlobalMonitor(eventMask(MouseEventType::leftMouseDown),
                                           [](const MouseEvent&) {});
    click(200, 300);
    ASSERT_TRUE(counting.waitForPresses(1));
    EXPECT_EQ(counting.events().at(0).location, (Point{100, 150}));
}

TEST_F(MouseTest, AWindowTargetUsesTheFrameTheWindowHadAtStart) {
    testing::TestWindow window(ZARVEX_TEST_WINDOW, server,
                               {.x = 200, .y = 100, .width = 400, .height = 300});
    MouseEventRecorder recorder(
        monitor, toSeconds(systemClock().now()),
        MouseEventRecorder::captureRect(WindowTarget{window.id()}, *content));
    EXPECT_EQ(recorder.captureRect(), (Rect{200, 100, 400, 300}));
    recorder.start();
    window.command("move 600 400");
    click(400, 250);  // the old middle
    click(700, 500);  // inside the new place only
    ASSERT_TRUE(monitor.waitForPresses(2));
    const auto clicks = recorder.stop().clicks;
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_DOUBLE_EQ(clicks[0].x, 0.5);
    EXPECT_DOUBLE_EQ(clicks[0].y, 0.5);
}

}  // namespace
}  // namespace zarvex
