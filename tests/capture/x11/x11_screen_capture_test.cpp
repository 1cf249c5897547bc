// Screen streams against a private Xvfb: sizes, pacing, damage, cursor,
// window targets through Composite, and leaving out this process's windows;
// and presses made with xdotool, seen by the X input monitor (clicks recorded
// into events.json are checked end to end).

#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "capture/errors.h"
#include "capture/x11/x11_backend.h"
#include "counting_input_monitor.h"
#include "thrown.h"
#include "x11_test_support.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::FrameCollector;
using testing::TestWindow;
using testing::Xvfb;

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kGreen = 0xff00ff00;
constexpr std::uint32_t kBlue = 0xff0000ff;
constexpr std::uint32_t kBlack = 0xff000000;

std::uint32_t ownProcessID() {
    return static_cast<std::uint32_t>(::getpid());
}

class X11Test : public ::testing::Test {
  protected:
    Xvfb server{1280, 720};
    X11Options options{server.display(), {}, &systemClock()};
    std::unique_ptr<ShareableContentSource> content = makeX11ShareableContent(options);
    std::unique_ptr<ScreenCaptureService> capture = makeX11ScreenCapture(options);
    FrameCollector frames;

    TestWindow window(TestWindow::Options windowOptions) {
        return TestWindow(ZARVEX_TEST_WINDOW, server, windowOptions);
    }

    DisplayID displayID() { return content->content().displays.at(0).id; }

    ScreenStreamPlan plan(const CaptureTarget& target, bool cursor = false) {
        return planScreenStream(content->content(), target, cursor, ownProcessID());
    }

    std::unique_ptr<ScreenStream> start(const ScreenStreamPlan& plan) {
        return start(plan, frames);
    }
    std::unique_ptr<ScreenStream> start(const ScreenStreamPlan& plan, FrameCollector& into) {
        return capture->startCapture(plan.filter, plan.configuration, into);
    }

    // The whole display with this process's windows in it, into `control`.
    std::unique_ptr<ScreenStream> startWithOwnWindows(FrameCollector& control) {
        ScreenStreamPlan keepAll = plan(DisplayTarget{displayID()});
        keepAll.filter.excludedProcessIDs.clear();
        auto stream = start(keepAll, control);
        EXPECT_TRUE(control.waitForFrames(1));
        return stream;
    }

    TestWindow ownWindow(int x, int y) {
        return window({.x = x,
                       .y = y,
                       .width = 200,
                       .height = 100,
                       .color = "00ff00",
                       .processID = ownProcessID()});
    }

    void click(int x, int y, int button = 1) {
        testing::runXClient(server, {"xdotool", "mousemove", std::to_string(x), std::to_string(y),
                                     "click", std::to_string(button)});
    }

    // Waits until the latest frame's pixel has the value.
    bool pixelBecomes(int x, int y, std::uint32_t value) {
        return testing::eventually([&] { return frames.pixel(x, y) == value; });
    }
};

TEST_F(X11Test, AnimatingDisplayDeliversChangingFramesPacedAtMostSixtyPerSecond) {
    auto animated = window({.x = 100, .y = 100, .width = 300, .height = 200});
    animated.command("animate 4");
    auto stream = start(plan(DisplayTarget{displayID()}));
    std::set<std::uint32_t> colours;
    const auto begin = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - begin < 1500ms) {
        frames.waitForMoreFrames(1, 1s);
        colours.insert(frames.pixel(250, 200));
    }
    stream->stopCapture();
    const auto elapsed = std::chrono::steady_clock::now() - begin;

    const auto records = frames.records();
    ASSERT_GE(records.size(), 10u);
    EXPECT_GE(colours.size(), 5u);
    // At most one frame per 1/60 s (and the first one at start). A frame is
    // stamped with when its picture last changed, which comes before it is
    // read: the stamps only move forward.
    const double seconds = std::chrono::duration<double>(elapsed).count();
    EXPECT_LE(records.size(), static_cast<std::size_t>(seconds * 60) + 3);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(std::tuple(records[i].status, records[i].width, records[i].height),
                  std::tuple(FrameStatus::complete, 1280, 720));
        if (i > 0) {
            EXPECT_GT(records[i].time, records[i - 1].time);
        }
    }
    EXPECT_LE(records.back().time, systemClock().now());
    EXPECT_EQ(frames.threadNames(), std::set<std::string>{"screen-capture"});
}

TEST_F(X11Test, StaticScreenDeliversTheFirstFrameAndThenNothing) {
    auto still = window({.color = "336699"});
    for (const bool cursor : {false, true}) {
        FrameCollector collector;
        auto stream = start(plan(DisplayTarget{displayID()}, cursor), collector);
        ASSERT_TRUE(collector.waitForFrames(1));
        std::this_thread::sleep_for(700ms);
        EXPECT_LE(collector.completeCount(), 2u) << "cursor " << cursor;
        EXPECT_EQ(std::pair(collector.pixel(150, 150), collector.pixel(10, 10)),
                  std::pair(0xff336699u, kBlack));
    }
}

TEST_F(X11Test, CursorOnlyWhenAskedAndSmallChangesKeepTheRestOfThePicture) {
    auto left = window({.x = 0, .y = 0, .width = 640, .height = 720, .color = "ff0000"});
    auto right = window({.x = 640, .y = 0, .width = 640, .height = 720, .color = "0000ff"});
    testing::runXClient(server, {"xdotool", "mousemove", "300", "300"});
    auto notRedAroundThePointer = [&] {
        int count = 0;
        for (int y = 290; y < 340; ++y) {
            for (int x = 290; x < 340; ++x) {
                count += frames.pixel(x, y) != kRed;
            }
        }
        return count;
    };
    {
        auto stream = start(plan(DisplayTarget{displayID()}, false));
        ASSERT_TRUE(frames.waitForFrames(1));
        EXPECT_EQ(notRedAroundThePointer(), 0);
    }
    const std::size_t before = frames.completeCount();
    auto stream = start(plan(DisplayTarget{displayID()}, true));
    ASSERT_TRUE(frames.waitForFrames(before + 1));
    EXPECT_GT(notRedAroundThePointer(), 20);
    // A change elsewhere keeps the rest of the picture, cursor included.
    right.command("color 00ff00");
    ASSERT_TRUE(pixelBecomes(900, 300, kGreen));
    EXPECT_EQ(frames.pixel(100, 100), kRed);
    EXPECT_GT(notRedAroundThePointer(), 20);
    // Moving the pointer leaves nothing of the old cursor behind.
    testing::runXClient(server, {"xdotool", "mousemove", "900", "600"});
    EXPECT_TRUE(testing::eventually([&] { return notRedAroundThePointer() == 0; }));
    EXPECT_EQ(frames.pixel(700, 100), kGreen);
}

TEST_F(X11Test, RegionsShowTheirPartOfTheDisplayAndBlackBeyondIt) {
    auto red = window({.x = 100, .y = 100, .width = 200, .height = 150});
    {
        auto stream = start(plan(RegionTarget{displayID(), Rect{50, 50, 301, 201}}));
        ASSERT_TRUE(frames.waitForFrames(1));
        EXPECT_EQ(frames.records().back().width, 300);
        // At root (110, 110), (60, 60), (300, 150) just right of it, (299, 199).
        EXPECT_EQ((std::array{frames.pixel(60, 60), frames.pixel(10, 10), frames.pixel(250, 100),
                              frames.pixel(249, 149)}),
                  (std::array{kRed, kBlack, kBlack, kRed}));
    }
    red.command("move 1180 620");
    FrameCollector corner;
    auto stream = start(plan(RegionTarget{displayID(), Rect{1200, 640, 200, 200}}), corner);
    ASSERT_TRUE(corner.waitForFrames(1));
    EXPECT_EQ(std::pair(corner.pixel(10, 10), corner.pixel(150, 150)), std::pair(kRed, kBlack));
    // Half a pixel still gives a picture of two by two.
    FrameCollector tiny;
    auto dotStream = start(plan(RegionTarget{displayID(), Rect{0, 0, 0.5, 0.5}}), tiny);
    ASSERT_TRUE(tiny.waitForFrames(1));
    EXPECT_EQ(std::pair(tiny.records().back().width, tiny.records().back().height),
              std::pair(2, 2));
}

TEST_F(X11Test, WindowTargetInsideAWindowManagersFrame) {
    testing::WindowManager manager(server);
    auto covered = window({.x = 100, .y = 100, .width = 300, .height = 200, .color = "ff0000"});
    auto cover = window({.x = 150, .y = 150, .width = 400, .height = 300, .color = "0000ff"});
    const auto chosen = plan(WindowTarget{covered.id()});
    EXPECT_EQ(chosen.configuration.width, 300);
    auto stream = start(chosen);
    ASSERT_TRUE(frames.waitForFrames(1));
    // Only the client's own pixels: no title bar, nothing of the cover.
    EXPECT_EQ(frames.pixel(1, 1), kRed);
    EXPECT_EQ(frames.pixel(250, 150), kRed);
    covered.command("color 00ff00");
    EXPECT_TRUE(pixelBecomes(250, 150, kGreen));
}

TEST_F(X11Test, WindowStreamsScaleResizesAndSuspendOrEndWithoutError) {
    auto target = window({.x = 0, .y = 0, .width = 200, .height = 100, .color = "00ff00"});
    auto stream = start(plan(WindowTarget{target.id()}));
    ASSERT_TRUE(frames.waitForFrames(1));
    target.command("resize 400 400");
    // 400 × 400 into 200 × 100: a 100 × 100 picture in the middle.
    EXPECT_TRUE(pixelBecomes(20, 50, kBlack));
    EXPECT_EQ(frames.pixel(100, 50), kGreen);
    EXPECT_EQ(frames.records().back().width, 200);

    target.command("unmap");
    EXPECT_TRUE(testing::eventually(
        [&] { return frames.records().back().status == FrameStatus::suspended; }));
    const std::size_t shown = frames.completeCount();
    target.command("map");
    EXPECT_TRUE(frames.waitForFrames(shown + 1));
    target.command("destroy");
    EXPECT_TRUE(testing::eventually(
        [&] { return frames.records().back().status == FrameStatus::stopped; }));
    EXPECT_TRUE(frames.error().empty());
}

// The kind of RecorderError that starting a stream with `filter` throws.
RecorderError::Kind startFailure(ScreenCaptureService& capture, const ContentFilter& filter) {
    FrameCollector frames;
    return testing::thrown<RecorderError>(
               [&] { capture.startCapture(filter, StreamConfiguration{}, frames); })
        .value()
        .kind();
}

TEST_F(X11Test, WindowsOfThisProcessAreLeftOutOfDisplayRecordings) {
    auto foreign = window({.x = 100, .y = 100, .width = 400, .height = 300, .color = "ff0000"});
    auto stream = start(plan(DisplayTarget{displayID()}));
    FrameCollector withOwn;
    auto control = startWithOwnWindows(withOwn);
    ASSERT_TRUE(frames.waitForFrames(1));

    // A window of this process appears over the foreign one and partly over
    // the bare desktop, and then changes.
    auto own = ownWindow(450, 200);
    ASSERT_TRUE(testing::eventually([&] { return withOwn.pixel(460, 210) == kGreen; }));
    own.command("color 0000ff");
    ASSERT_TRUE(testing::eventually([&] { return withOwn.pixel(460, 210) == kBlue; }));
    EXPECT_TRUE(testing::eventually([&] {
        return frames.pixel(460, 210) == kRed && frames.pixel(600, 250) == kBlack;
    })) << std::hex
        << frames.pixel(460, 210) << " " << frames.pixel(600, 250);
    // The foreign window keeps being recorded where ours covers it.
    // (Its change may reach the stream in more than one piece of damage.)
    foreign.command("color ffff00");
    EXPECT_TRUE(pixelBecomes(460, 210, 0xffffff00));
    EXPECT_TRUE(pixelBecomes(150, 150, 0xffffff00));

    // Over the bare desktop, the wallpaper shows where our window is.
    auto wallpaper = window({.color = "808080", .wallpaper = true});
    EXPECT_TRUE(pixelBecomes(600, 250, 0xff808080));
    EXPECT_TRUE(pixelBecomes(700, 250, 0xff808080));
}

TEST_F(X11Test, WindowsOfThisProcessAreLeftOutWithTheirDecorations) {
    testing::WindowManager manager(server);
    auto foreign = window({.x = 0, .y = 0, .width = 1200, .height = 650, .color = "ff0000"});
    auto stream = start(plan(DisplayTarget{displayID()}));
    ASSERT_TRUE(frames.waitForFrames(1));
    auto own = ownWindow(500, 300);
    const Rect inside = content->windowFrame(own.id()).value();
    const int x = static_cast<int>(inside.midX());
    const int y = static_cast<int>(inside.midY());
    const int titleBar = static_cast<int>(inside.minY()) - 5;  // the manager's decoration
    // The control: the window is on screen.
    FrameCollector withOwn;
    auto control = startWithOwnWindows(withOwn);
    EXPECT_EQ(withOwn.pixel(x, y), kGreen);
    EXPECT_NE(withOwn.pixel(x, titleBar), kRed);

    own.command("color 0000ff");
    EXPECT_TRUE(testing::eventually([&] {
        return frames.pixel(x, y) == kRed && frames.pixel(x, titleBar) == kRed;
    })) << std::hex
        << frames.pixel(x, y) << " " << frames.pixel(x, titleBar);
}

// Streams of gone windows and unknown displays do not start; the server
// going away stops a running stream with an error.
TEST_F(X11Test, GoneTargetsDoNotStartAndTheServerGoingAwayStopsTheStream) {
    // Gone between reading the content and starting.
    auto closing = window({});
    const auto chosen = plan(WindowTarget{closing.id()});
    closing.command("destroy");
    EXPECT_EQ(startFailure(*capture, chosen.filter), RecorderError::Kind::windowGone);
    ContentFilter unknown;
    unknown.displayID = displayID() + 1000;
    EXPECT_EQ(startFailure(*capture, unknown), RecorderError::Kind::noDisplay);

    auto stream = start(plan(DisplayTarget{displayID()}));
    ASSERT_TRUE(frames.waitForFrames(1));
    server.stop();
    EXPECT_TRUE(testing::eventually([&] { return !frames.error().empty(); }));
    EXPECT_EQ(frames.error(), "The connection to the X display was lost.");
    stream->stopCapture();
}

// Positions are in points of the display: a monitor at twice the density
// sees the same press at half the coordinates.
TEST_F(X11Test, InputMonitorReportsOnlyTheMaskedButtonsWithTheirPositionInPointsAndTime) {
    X11Options scaled = options;
    scaled.scaleForOutput = [](const std::string&) { return 2.0; };
    auto x11Monitor = makeX11InputMonitor(options);
    auto scaledMonitor = makeX11InputMonitor(scaled);
    testing::CountingMonitor monitor(*x11Monitor), halved(*scaledMonitor);
    auto token = monitor.addGlobalMonitor(eventMask(MouseEventType::rightMouseDown),
                                          [](const MouseEvent&) {});
    auto halvedToken =
        halved.addGlobalMonitor(eventMask(MouseEventType::leftMouseDown), [](const MouseEvent&) {});
    click(20, 30, 2);    // middle
    click(200, 300, 1);  // left, not asked for by the first
    click(60, 70, 3);    // right
    ASSERT_TRUE(monitor.waitForPresses(1));
    ASSERT_TRUE(halved.waitForPresses(1));
    // Presses arrive in order, so nothing else is on its way.
    token.reset();
    halvedToken.reset();
    const auto events = monitor.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::pair(events[0].type, events[0].location),
              std::pair(MouseEventType::rightMouseDown, Point{60, 70}));
    const HostTime now = systemClock().now();
    EXPECT_LE(events[0].timestamp, now);
    EXPECT_GT(events[0].timestamp, now - std::chrono::seconds(20));
    ASSERT_EQ(halved.events().size(), 1u);
    EXPECT_EQ(halved.events().at(0).location, (Point{100, 150}));
}

}  // namespace
}  // namespace zarvex
