// The countdown, the recording frame and the camera's own thread, without a
// display.

#include <gtest/gtest.h>

#include "capture/errors.h"
#include "flow/countdown_controller.h"
#include "flow/recording_indicator.h"
#include "flow_fakes.h"
#include "recording_fakes.h"
#include "thrown.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;

const std::vector<ShareableDisplay> kDisplays{{1, "A", {0, 0, 1440, 900}, 1, true},
                                              {2, "B", {1440, 0, 960, 540}, 2, false}};

// What the badges showed: every number and frame, and whether one is on screen.
struct BadgeLog {
    std::vector<int> counts;
    std::vector<Rect> frames;
    bool showing = false;

    CountdownController::BadgeFactory factory() {
        return [this](int, const Rect& frame) {
            frames.push_back(frame);
            showing = true;
            return std::make_unique<Badge>(*this);
        };
    }

    class Badge : public CountdownBadge {
      public:
        explicit Badge(BadgeLog& log) : log_(log) {}
        ~Badge() override { log_.showing = false; }
        void setCount(int count) override { log_.counts.push_back(count); }

      private:
        BadgeLog& log_;
    };
};

class CountdownTest : public ::testing::Test {
  public:
    CountdownTest() { testing::coreApplication(); }

    std::vector<ShareableDisplay> displays = kDisplays;
    BadgeLog badges;
    CountdownController countdown{[this] { return displays; }, badges.factory(), 20ms};
};

TEST_F(CountdownTest, CountsEverySecondDownToOneOnTheTargetsScreenStopsOnCancelNeverBelowOne) {
    EXPECT_TRUE(QCoro::waitFor(countdown.run(3, RegionTarget{2, {}})));
    EXPECT_EQ(badges.counts, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(badges.frames, (std::vector<Rect>{Rect{1830, 180, 180, 180}}));
    EXPECT_FALSE(badges.showing);

    // A window's countdown is on the main screen.
    EXPECT_TRUE(QCoro::waitFor(countdown.run(1, WindowTarget{2})));
    EXPECT_EQ(badges.frames.back(), (Rect{630, 360, 180, 180}));

    // A cancel is noticed when the current second ends.
    badges = {};
    std::optional<bool> ranOut;
    [](CountdownTest* test, std::optional<bool>& out) -> QCoro::Task<void> {
        out = co_await test->countdown.run(3, DisplayTarget{1});
    }(this, ranOut);
    ASSERT_TRUE(processEventsUntil([&] { return badges.counts.size() == 2; }));
    countdown.cancel();
    EXPECT_TRUE(badges.showing);  // 2 stays up until its second is over
    ASSERT_TRUE(processEventsUntil([&] { return ranOut.has_value(); }));
    EXPECT_FALSE(*ranOut);
    EXPECT_EQ(badges.counts, (std::vector<int>{3, 2}));
    EXPECT_FALSE(badges.showing);

    // Nothing runs below one second or without a screen.
    badges = {};
    EXPECT_TRUE(QCoro::waitFor(countdown.run(0, DisplayTarget{1})));
    EXPECT_TRUE(QCoro::waitFor(countdown.run(-4, DisplayTarget{1})));
    displays.clear();
    EXPECT_TRUE(QCoro::waitFor(countdown.run(3, DisplayTarget{1})));
    EXPECT_TRUE(badges.counts.empty() && badges.frames.empty());
}

TEST(CountdownSteps, EachNumberShowsForOneSecond) {
    testing::coreApplication();
    BadgeLog badges;
    CountdownController countdown([] { return kDisplays; }, badges.factory());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(QCoro::waitFor(countdown.run(2, DisplayTarget{1})));
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, 2s);
    EXPECT_LT(took, 2900ms);
}

// The frames the indicator made, as the test sees them.
struct FrameLog {
    std::vector<Rect> frames;
    bool open = false;
    bool orderedOut = false;

    RecordingIndicator::FrameFactory factory() {
        return [this](const Rect& frame) {
            frames = {frame};
            open = true;
            orderedOut = false;
            return std::make_unique<Frame>(*this);
        };
    }

    class Frame : public RecordingFrame {
      public:
        explicit Frame(FrameLog& log) : log_(log) {}
        ~Frame() override { log_.open = false; }
        void setFrame(const Rect& frame) override { log_.frames.push_back(frame); }
        void orderOut() override { log_.orderedOut = true; }

      private:
        FrameLog& log_;
    };
};

TEST(RecordingIndicator, FramesTheTargetAndFollowsAWindowUntilItIsGone) {
    testing::coreApplication();
    testing::FakeShareableContent desktop;
    desktop.current.displays = kDisplays;
    desktop.current.windows = {{9, 4, "Notes", "Notes", {100, 100, 400, 300}}};
    FrameLog log;
    RecordingIndicator indicator([&] { return desktop.content(); },
                                 [&](WindowID id) { return desktop.windowFrame(id); },
                                 log.factory());

    indicator.show(DisplayTarget{2});
    EXPECT_EQ(log.frames, std::vector<Rect>{kDisplays[1].frame});
    indicator.show(DisplayTarget{3});  // no such display: no frame
    EXPECT_FALSE(log.open);

    indicator.show(WindowTarget{9});
    EXPECT_EQ(log.frames, (std::vector<Rect>{Rect{97, 97, 406, 306}}));
    desktop.current.windows[0].frame = {300, 200, 400, 300};
    ASSERT_TRUE(processEventsUntil([&] { return log.frames.size() == 2; }, 1s));
    EXPECT_EQ(log.frames.back(), (Rect{297, 197, 406, 306}));

    desktop.current.windows.clear();  // closed: the frame goes for good
    ASSERT_TRUE(processEventsUntil([&] { return log.orderedOut; }, 1s));
    desktop.hiddenWindowFrames[9] = {0, 0, 400, 300};
    ASSERT_TRUE(processEventsUntil(
        [&] {
            return log.frames.back() == Rect{-3, -3, 406, 306};
        },
        1s));
    EXPECT_TRUE(log.orderedOut && log.open);

    indicator.hide();
    EXPECT_FALSE(log.open);
    const auto moves = log.frames.size();
    testing::processEventsFor(400ms);
    EXPECT_EQ(log.frames.size(), moves);  // no more following after hide
}

TEST(CameraController, TheCameraIsOnlyEverUsedOnItsOwnThread) {
    testing::coreApplication();
    testing::TempDir folder;
    {
        testing::CameraRig rig;
        QCoro::waitFor(rig.controller.startPreview());
        EXPECT_TRUE(rig.running);
        rig.controller.stop();
        QCoro::waitFor(rig.controller.startPreview());

        // A recording's thread writes the webcam file through it.
        std::thread session([&] {
            WebcamWriting& webcam = rig.controller.webcam();
            webcam.startWriting(folder / "webcam.mov", systemClock().now());
            webcam.stop();  // writing: only the preview goes
            try {
                webcam.stopWriting();
            } catch (const RecorderError&) {
                // No frame reached the file; what matters here is where it ran.
            }
            webcam.stop();
        });
        session.join();
        EXPECT_EQ((std::tuple<bool, int, int>(rig.running, rig.preview.shown, rig.preview.hidden)),
                  (std::tuple(false, 2, 3)));
        EXPECT_EQ(rig.threads(), std::set<std::string>{CameraController::kThreadName});
    }

    testing::CameraRig broken;
    broken.startFailure = kNoCameraMessage;
    EXPECT_EQ(testing::thrownText([&] { testing::awaitTask(broken.controller.startPreview()); }),
              "Recording failed: No camera available.");
}

}  // namespace
}  // namespace zarvex
