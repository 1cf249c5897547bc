#include "capture/screen_capture.h"

#include <gtest/gtest.h>

#include "capture/errors.h"
#include "thrown.h"

namespace zarvex {
namespace {

ShareableContent desktop() {
    ShareableContent content;
    content.displays = {
        {7, "eDP-1", Rect{0, 0, 1512, 982}, 2, true},
        {9, "HDMI-1", Rect{1512, 0, 1921, 1081}, 1, false},
    };
    content.windows = {
        {0x400001, 4242, "Notes", "Notes", Rect{1600, 100, 641.5, 480.7}},
        {0x400002, 4243, "Mail", "Mail", Rect{100, 100, 400, 300}},
    };
    return content;
}

// The pixel size of the stream planned for `target`.
Size streamSize(const CaptureTarget& target) {
    const StreamConfiguration configuration =
        planScreenStream(desktop(), target, true, 1).configuration;
    return {double(configuration.width), double(configuration.height)};
}

TEST(IntegralRect, RoundsMinimumEdgesDownAndMaximumEdgesUp) {
    EXPECT_EQ(integralRect(Rect{0, 0, 0.5, 0.5}), (Rect{0, 0, 1, 1}));
    EXPECT_EQ(integralRect(Rect{10.4, 20.6, 100.2, 50}), (Rect{10, 20, 101, 51}));
    EXPECT_EQ(integralRect(Rect{-0.5, -1.5, 1, 1}), (Rect{-1, -2, 2, 2}));
    EXPECT_EQ(integralRect(Rect{10, 10, -4.5, -2}), (Rect{5, 8, 5, 2}));
    EXPECT_EQ(integralRect(Rect{3, 4, 5, 6}), (Rect{3, 4, 5, 6}));
}

TEST(ScreenStreamPlan, DisplayLeavesOutThisProcessAndUsesItsPixelSize) {
    const ScreenStreamPlan plan = planScreenStream(desktop(), DisplayTarget{7}, true, 555);
    const ContentFilter& filter = plan.filter;
    EXPECT_EQ(
        std::tuple(filter.kind, filter.displayID, filter.excludedProcessIDs, filter.contentRect),
        std::tuple(ContentFilter::Kind::display, 7u, std::vector<std::uint32_t>{555},
                   Rect{0, 0, 1512, 982}));
    EXPECT_EQ(std::pair(plan.configuration.sourceRect, plan.configuration.showsCursor),
              std::pair(std::optional<Rect>{}, true));
    EXPECT_FALSE(planScreenStream(desktop(), DisplayTarget{9}, false, 1).configuration.showsCursor);

    EXPECT_EQ(streamSize(DisplayTarget{7}), (Size{3024, 1964}));
    EXPECT_EQ(streamSize(DisplayTarget{9}), (Size{1920, 1080}));  // odd sizes round down to even
}

TEST(ScreenStreamPlan, RegionUsesItsIntegralRectangleAndItsDisplaysScale) {
    ScreenStreamPlan plan =
        planScreenStream(desktop(), RegionTarget{9, Rect{10, 20, 301, 201}}, true, 1);
    EXPECT_EQ(std::tuple(plan.filter.kind, plan.filter.displayID, plan.configuration.sourceRect),
              std::tuple(ContentFilter::Kind::display, 9u, Rect{10, 20, 301, 201}));
    EXPECT_EQ(streamSize(RegionTarget{9, Rect{10, 20, 301, 201}}), (Size{300, 200}));

    plan = planScreenStream(desktop(), RegionTarget{7, Rect{5, 5, 100.5, 50.2}}, true, 1);
    EXPECT_EQ(plan.configuration.sourceRect, (Rect{5, 5, 101, 51}));
    EXPECT_EQ(streamSize(RegionTarget{7, Rect{5, 5, 100.5, 50.2}}), (Size{202, 102}));

    // Tiny regions still give two by two pixels.
    for (const Rect tiny : {Rect{0, 0, 0.5, 0.5}, Rect{0, 0, 0, 0}, Rect{3, 3, 1, 1}}) {
        EXPECT_EQ(streamSize(RegionTarget{9, tiny}), (Size{2, 2}));
    }
}

TEST(ScreenStreamPlan, WindowUsesItsFrameAndTheScaleOfTheDisplayUnderIt) {
    const ScreenStreamPlan plan = planScreenStream(desktop(), WindowTarget{0x400001}, true, 1);
    const ContentFilter& filter = plan.filter;
    EXPECT_EQ(std::tuple(filter.kind, filter.windowID, filter.excludedProcessIDs.size(),
                         filter.pointPixelScale),
              std::tuple(ContentFilter::Kind::window, 0x400001u, 0u, 1.0));
    EXPECT_EQ(streamSize(WindowTarget{0x400001}), (Size{640, 480}));
    EXPECT_EQ(planScreenStream(desktop(), WindowTarget{0x400002}, true, 1).filter.pointPixelScale,
              2);
    EXPECT_EQ(streamSize(WindowTarget{0x400002}), (Size{800, 600}));
}

TEST(ScreenStreamPlan, MissingTargetsFailWithTheirMessages) {
    const auto failure = [](const CaptureTarget& target) {
        return testing::thrownText([&] { planScreenStream(desktop(), target, true, 1); });
    };
    EXPECT_EQ(failure(DisplayTarget{8}), "No display available to record.");
    EXPECT_EQ(failure(RegionTarget{8, Rect{0, 0, 10, 10}}), "No display available to record.");
    EXPECT_EQ(failure(WindowTarget{0x123}), "The selected window is no longer on screen.");
}

}  // namespace
}  // namespace zarvex
