// Presses made with xdotool on a private Xvfb, seen by the X input monitor.
// (Clicks recorded into events.json are checked end to end.)

#include <gtest/gtest.h>

#include "capture/x11/x11_backend.h"
#include "counting_input_monitor.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using testing::CountingMonitor;

class MouseTest : public ::testing::Test {
  protected:
    testing::Xvfb server{1024, 768};
    X11Options options{server.display(), {}, &systemClock()};

    void click(int x, int y, int button = 1) {
        testing::runXClient(server, {"xdotool", "mousemove", std::to_string(x), std::to_string(y),
                                     "click", std::to_string(button)});
    }
};

TEST_F(MouseTest, MonitorReportsOnlyTheMaskedButtonsWithTheirPositionAndTime) {
    auto x11Monitor = makeX11InputMonitor(options);
    CountingMonitor monitor(*x11Monitor);
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
    CountingMonitor monitor(*scaledMonitor);
    auto token = monitor.addGlobalMonitor(eventMask(MouseEventType::leftMouseDown),
                                          [](const MouseEvent&) {});
    click(200, 300);
    ASSERT_TRUE(monitor.waitForPresses(1));
    EXPECT_EQ(monitor.events().at(0).location, (Point{100, 150}));
}

}  // namespace
}  // namespace zarvex
