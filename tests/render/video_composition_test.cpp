#include "render/video_composition.h"

#include <gtest/gtest.h>

#include "render/export_session.h"
#include "render/geometry.h"

namespace zarvex {
namespace {

TEST(RenderSize, FollowsTheScaleTruncatedEvenAndAtLeastTwo) {
    EXPECT_EQ(renderSizeFor({3840, 2160}, 0.5), (Size{1920, 1080}));
    EXPECT_EQ(renderSizeFor({2003, 1000}, 0.5), (Size{1000, 500}));  // 1001.5 → 1000
    EXPECT_EQ(renderSizeFor({2, 2}, 0.5), (Size{2, 2}));             // 1 → 2
}

TEST(ExportScale, NeverEnlargesAndFitsTheTargetHeight) {
    using Resolution = ExportOptions::Resolution;
    EXPECT_EQ(exportScale(Resolution::native, {3840, 2160}), 1.0);
    EXPECT_EQ(exportScale(Resolution::p1080, {1280, 720}), 1.0);
    EXPECT_DOUBLE_EQ(exportScale(Resolution::p720, {1920, 1080}), 2.0 / 3.0);
    EXPECT_EQ(renderSizeFor({1920, 1080}, exportScale(Resolution::p720, {1920, 1080})),
              (Size{1280, 720}));
    const Size vertical{1080, 1920};
    EXPECT_EQ(exportScale(Resolution::p720, vertical), 0.375);
    EXPECT_EQ(renderSizeFor(vertical, 0.375), (Size{404, 720}));  // 405 rounds down to even
}

TEST(ScaledStyle, ScalesOnlyAbsoluteLengths) {
    StyleSettings style;
    style.webcam.sizeFraction = 0.3;
    StyleSettings expected = style;
    expected.cornerRadius = 12;
    expected.shadow.blur = 22;
    expected.shadow.offsetY = 7;
    EXPECT_EQ(scaledStyle(style, 0.5), expected);
}

TEST(BackgroundCache, KeyNamesTheBackgroundAndTheWholeCanvas) {
    const BackgroundStyle red = BackgroundStyle::solid("#FF0000");
    const std::string key = backgroundCacheKey(red, {1920, 1080});
    EXPECT_TRUE(key.ends_with("|1920x1080")) << key;
    EXPECT_NE(key.find("#FF0000"), std::string::npos) << key;
    EXPECT_EQ(backgroundCacheKey(red, {1920.7, 1080.2}), key);
    EXPECT_NE(backgroundCacheKey(BackgroundStyle::solid("#FF0001"), {1920, 1080}), key);
    EXPECT_NE(backgroundCacheKey(red, {1920, 1082}), key);
    // A background that JSON cannot hold still gets a key.
    const BackgroundStyle broken = BackgroundStyle::gradient({{"#000000"}, 0.0 / 0.0});
    EXPECT_EQ(backgroundCacheKey(broken, {4, 2}), "|4x2");
}

TEST(BackgroundCache, KeepsOneEntryAndReusesItWhileTheKeyHolds) {
    BackgroundCache cache;
    const BackgroundStyle red = BackgroundStyle::solid("#FF0000");
    const BackgroundStyle blue = BackgroundStyle::solid("#0000FF");
    const Image first = cache.background(red, {64, 32});
    EXPECT_EQ(cache.background(red, {64, 32}).row(0), first.row(0));  // same pixels
    EXPECT_EQ(cache.entry()->first, backgroundCacheKey(red, {64, 32}));

    const Image other = cache.background(blue, {64, 32});
    EXPECT_NE(other.row(0), first.row(0));
    EXPECT_EQ(cache.entry()->first, backgroundCacheKey(blue, {64, 32}));
    // Only one entry: going back draws red again.
    EXPECT_NE(cache.background(red, {64, 32}).row(0), first.row(0));
    EXPECT_EQ(cache.background(red, {64, 34}).height(), 34);
}

VideoCompositionSource sourceWithClicks() {
    VideoCompositionSource source;
    source.screenSize = {1440, 900};
    source.screenTrackID = 1;
    source.duration = {2, 1};
    source.clicks = {{0.5, 0.1, 0.2}};
    return source;
}

TEST(StyledVideoComposition, OneInstructionOverTheWholeTimeline) {
    BackgroundCache cache;
    VideoCompositionSource source = sourceWithClicks();
    source.style.aspect = AspectPreset::wide16x9;
    const VideoComposition composition = makeStyledVideoComposition(source, 1.0, cache);

    EXPECT_EQ(composition.renderSize, (Size{1600, 900}));
    EXPECT_EQ(composition.frameDuration, (MediaTime{1, 60}));
    ASSERT_EQ(composition.instructions.size(), 1u);
    const auto& instruction = dynamic_cast<const StyleInstruction&>(*composition.instructions[0]);
    EXPECT_EQ(instruction.timeRange(), (MediaTimeRange{MediaTime::zero(), {2, 1}}));
    EXPECT_EQ(instruction.requiredSourceTrackIDs(), (std::vector<TrackID>{1}));
    EXPECT_EQ(instruction.canvas(), (Size{1600, 900}));
    EXPECT_EQ(instruction.clicks(), source.clicks);  // ripples absent count as on
    EXPECT_EQ(composition.instructionAt({5, 1}), composition.instructions[0].get());
}

TEST(StyledVideoComposition, ScaledForExportWithWebcamAndRipplesOff) {
    BackgroundCache cache;
    VideoCompositionSource source = sourceWithClicks();
    source.webcamTrackID = 4;
    source.style.clickRipples = false;
    const VideoComposition composition = makeStyledVideoComposition(source, 0.5, cache);

    EXPECT_EQ(composition.renderSize, (Size{720, 450}));
    const auto& instruction = dynamic_cast<const StyleInstruction&>(*composition.instructions[0]);
    EXPECT_EQ(instruction.requiredSourceTrackIDs(), (std::vector<TrackID>{1, 4}));
    EXPECT_TRUE(instruction.clicks().empty());
    EXPECT_EQ(instruction.style().cornerRadius, source.style.cornerRadius * 0.5);
    EXPECT_EQ(instruction.background().width(), 720);
    EXPECT_EQ(cache.entry()->first, backgroundCacheKey(source.style.background, {720, 450}));
}

}  // namespace
}  // namespace zarvex
