// The editor's rules without widgets: transport texts and play start, trim
// handles, the bubble on the preview, inspector values, zoom edits, and the
// time model.
#include <gtest/gtest.h>

#include "editor/bubble_drag.h"
#include "editor/player_time_model.h"
#include "editor/style_rules.h"
#include "editor/transport_rules.h"
#include "editor/trim_rules.h"
#include "editor/window_placement.h"
#include "editor/zoom_rules.h"
#include "event_loop.h"
#include "fake_player.h"

namespace zarvex {
namespace {

// ---------------------------------------------------------------- transport

TEST(TransportRules, TimesAreMinutesAndTwoDigitSecondsRoundedHalfAway) {
    EXPECT_EQ(formatPlaybackTime(0), "0:00");
    EXPECT_EQ(formatPlaybackTime(0.49), "0:00");
    EXPECT_EQ(formatPlaybackTime(0.5), "0:01");
    EXPECT_EQ(formatPlaybackTime(59.5), "1:00");
    EXPECT_EQ(formatPlaybackTime(754.2), "12:34");
    EXPECT_EQ(formatPlaybackTime(6000), "100:00");
    EXPECT_EQ(formatPlaybackTime(std::nan("")), "0:00");
    EXPECT_EQ(formatPlaybackTime(INFINITY), "0:00");
    EXPECT_EQ(formatPlaybackTime(-3), "0:00");
}

TEST(TransportRules, TheSpeakerFollowsMuteAndTheVolumeThresholds) {
    EXPECT_STREQ(volumeSymbolName(0.8f, true), "speaker.slash.fill");
    EXPECT_STREQ(volumeSymbolName(0.0f, false), "speaker.slash.fill");  // silent, not muted
    EXPECT_STREQ(volumeSymbolName(0.01f, false), "speaker.wave.1.fill");
    EXPECT_STREQ(volumeSymbolName(0.3399f, false), "speaker.wave.1.fill");
    EXPECT_STREQ(volumeSymbolName(0.34f, false), "speaker.wave.2.fill");
    EXPECT_STREQ(volumeSymbolName(0.6699f, false), "speaker.wave.2.fill");
    EXPECT_STREQ(volumeSymbolName(0.67f, false), "speaker.wave.3.fill");
    EXPECT_STREQ(muteHelpText(true), "Unmute");
    EXPECT_STREQ(muteHelpText(false), "Mute");
}

TEST(TransportRules, PlayingStartsAtTheTrimStartFromBeforeItOrAtItsEnd) {
    const std::pair<double, double> range{2, 8};
    EXPECT_EQ(playStartSeek(1.98, range), 2.0);  // more than 0.01 s before
    EXPECT_EQ(playStartSeek(1.995, range), std::nullopt);
    EXPECT_EQ(playStartSeek(5, range), std::nullopt);
    EXPECT_EQ(playStartSeek(7.94, range), std::nullopt);
    EXPECT_EQ(playStartSeek(7.96, range), 2.0);  // within 0.05 s of the end
    EXPECT_EQ(playStartSeek(9, range), 2.0);
}

TEST(TransportRules, TrackPositionsAndTimesMapLinearlyAndClampToTheEnds) {
    EXPECT_EQ(scrubberMaximum(0), 0.01);
    EXPECT_EQ(scrubberMaximum(std::nan("")), 0.01);
    EXPECT_EQ(scrubberMaximum(12.5), 12.5);
    EXPECT_DOUBLE_EQ(trackPosition(2.5, 10, 7, 100), 32);
    EXPECT_DOUBLE_EQ(trackPosition(20, 10, 7, 100), 107);
    EXPECT_DOUBLE_EQ(trackPosition(std::nan(""), 10, 7, 100), 7);
    EXPECT_DOUBLE_EQ(trackTime(32, 10, 7, 100), 2.5);
    EXPECT_DOUBLE_EQ(trackTime(-50, 10, 7, 100), 0);
    EXPECT_DOUBLE_EQ(trackTime(500, 10, 7, 100), 10);
    EXPECT_DOUBLE_EQ(trackTime(30, 10, 7, 0), 0);
}

// ---------------------------------------------------------------- trim handles

TEST(TrimRules, HandlesSnapToTheEndsAndKeepTwoTenthsOfASecondApart) {
    EXPECT_EQ(trimStartForDrag(0.01, 10), std::nullopt);  // at the very beginning: no trim
    EXPECT_EQ(trimStartForDrag(0.011, 10), 0.011);
    EXPECT_EQ(trimStartForDrag(4, 10), 4.0);
    EXPECT_DOUBLE_EQ(*trimStartForDrag(9.95, 10), 9.8);    // at most end − 0.2
    EXPECT_EQ(trimStartForDrag(0.1, 0.15), std::nullopt);  // no room in a short recording

    EXPECT_EQ(trimEndForDrag(9.99, 0, 10), std::nullopt);  // at the very end: no trim
    EXPECT_EQ(trimEndForDrag(12, 0, 10), std::nullopt);
    EXPECT_EQ(trimEndForDrag(9.98, 0, 10), 9.98);
    EXPECT_DOUBLE_EQ(*trimEndForDrag(3, 3.5, 10), 3.7);    // at least start + 0.2
    EXPECT_EQ(trimEndForDrag(3, 9.85, 10), std::nullopt);  // start + 0.2 reaches the end
}

// ---------------------------------------------------------------- bubble on the preview

TEST(BubbleDrag, TheOutlineSitsOnTheBubbleScaledIntoTheFittedVideo) {
    const Size canvas{1920, 1080};
    const Rect video = fittedRect(canvas, {0, 0, 1000, 1000});
    EXPECT_NEAR(video.x, 0, 1e-9);
    EXPECT_NEAR(video.y, 218.75, 1e-9);
    EXPECT_NEAR(video.width, 1000, 1e-9);
    EXPECT_NEAR(video.height, 562.5, 1e-9);
    EXPECT_EQ(fittedRect({0, 1080}, {0, 0, 10, 10}), Rect{});

    WebcamSpec webcam;  // bottom right, 0.24 of the height, margin 0.035
    const Rect bubble = bubbleViewRect(webcam, canvas, video);
    const double scale = 1000.0 / 1920;
    EXPECT_NEAR(bubble.width, 0.24 * 1080 * scale, 1e-9);
    EXPECT_NEAR(bubble.maxX(), 1000 - 0.035 * 1080 * scale, 1e-9);
    EXPECT_NEAR(bubble.maxY(), 218.75 + 562.5 - 0.035 * 1080 * scale, 1e-9);  // y down
    EXPECT_EQ(bubbleOutlineRadius(webcam, 100), 50);
    webcam.shape = WebcamSpec::Shape::roundedRect;
    EXPECT_DOUBLE_EQ(bubbleOutlineRadius(webcam, 100), 18);
}

TEST(BubbleDrag, APointerBeyondThePreviewKeepsTheBubbleOnTheCanvas) {
    const Size canvas{1920, 1080};
    const Rect video{100, 50, 960, 540};
    const double size = 0.24;
    const double rx = 1080 * size * 0.5 / 1920;
    const auto inside = draggedBubbleCentre({100 + 480, 50 + 135}, video, canvas, size);
    ASSERT_TRUE(inside);
    EXPECT_DOUBLE_EQ(inside->x, 0.5);
    EXPECT_DOUBLE_EQ(inside->y, 0.75);  // a quarter from the top is three quarters up

    const auto farOut = draggedBubbleCentre({5000, -900}, video, canvas, size);
    EXPECT_DOUBLE_EQ(farOut->x, 1 - rx);
    EXPECT_DOUBLE_EQ(farOut->y, 1 - size / 2);
    const auto otherWay = draggedBubbleCentre({-5000, 9000}, video, canvas, size);
    EXPECT_DOUBLE_EQ(otherWay->x, rx);
    EXPECT_DOUBLE_EQ(otherWay->y, size / 2);

    EXPECT_FALSE(draggedBubbleCentre({1, 1}, video, {0, 1080}, size));
    EXPECT_FALSE(draggedBubbleCentre({1, 1}, {0, 0, 0, 10}, canvas, size));
}

TEST(BubbleDrag, MovesAreThrottledToOneEveryFortyMillisecondsButTheLastAlwaysLands) {
    BubbleDragThrottle throttle;
    EXPECT_TRUE(throttle.admit(0.0, false));
    EXPECT_FALSE(throttle.admit(0.02, false));
    EXPECT_FALSE(throttle.admit(0.04, false));  // 0.04 s is not enough
    EXPECT_TRUE(throttle.admit(0.0401, false));
    EXPECT_TRUE(throttle.admit(0.05, true));  // the final position
    throttle.reset();
    EXPECT_TRUE(throttle.admit(0.06, false));
}

// ---------------------------------------------------------------- inspector values

TEST(InspectorRules, ValueTextsTruncateAndShowTheirUnits) {
    EXPECT_EQ(sliderValueText(kPaddingRange.maximum, ValueFormat::fraction), "20%");
    EXPECT_EQ(sliderValueText(kBubbleSizeRange.minimum, ValueFormat::fraction), "10%");
    EXPECT_EQ(sliderValueText(0.29, ValueFormat::fraction), "29%");
    EXPECT_EQ(sliderValueText(0.0749, ValueFormat::fraction), "7%");
    EXPECT_EQ(sliderValueText(1, ValueFormat::fraction), "100%");
    EXPECT_EQ(sliderValueText(43.99, ValueFormat::points), "43");
    EXPECT_EQ(sliderValueText(120, ValueFormat::points), "120");
    EXPECT_EQ(sliderValueText(45, ValueFormat::degrees), "45°");
    EXPECT_EQ(sliderValueText(359.9, ValueFormat::degrees), "359°");
    EXPECT_EQ(sliderValueText(std::nan(""), ValueFormat::points), "0");
    EXPECT_EQ(kAngleRange.clamp(400), 360);
    EXPECT_EQ(kBubbleSizeRange.clamp(0), 0.1);
    EXPECT_EQ(sliderValueText(kZoomScaleRange.minimum, ValueFormat::magnification), "1.25×");
    EXPECT_EQ(sliderValueText(kZoomScaleRange.maximum, ValueFormat::magnification), "3.0×");
}

// ---------------------------------------------------------------- zoom

TEST(ZoomRules, EditsStayClearOfNeighboursAndTheAutoSwitchKeepsTheUsersSegments) {
    ZoomSettings zoom{false, std::vector<ZoomSegment>{{1, 3, 2, 0.5, 0.5, {{2, 0.2, 0.2}}, true},
                                                      {5, 6.5, 2, 0.5, 0.5, {}, false}}};
    // Moved into its neighbour: it stops against it, pans along, the user's now.
    const ZoomSegment moved = withSegmentMoved(zoom, 0, 4, 10).segments->at(0);
    EXPECT_EQ((std::array{moved.start, moved.end, moved.pans[0].t}), (std::array{3.0, 5.0, 4.0}));
    EXPECT_FALSE(moved.automatic);
    EXPECT_EQ(withSegmentResized(zoom, 1, ZoomEdge::start, 7, 10).segments->at(1).start, 5.5);
    EXPECT_EQ(withSegmentResized(zoom, 1, ZoomEdge::end, 12, 10).segments->at(1).end, 10);
    // Added at the playhead: 2 s, or the room there is, moved back to fill 1 s.
    EXPECT_EQ(withSegmentAdded(zoom, 8, 10)->zoom.segments->at(2).end, 10);
    const std::optional<AddedZoom> squeezed = withSegmentAdded(zoom, 4.5, 10);
    ASSERT_TRUE(squeezed);
    EXPECT_EQ(squeezed->index, 1);
    EXPECT_EQ((std::pair{squeezed->zoom.segments->at(1).start, squeezed->zoom.segments->at(1).end}),
              (std::pair{4.0, 5.0}));
    EXPECT_FALSE(withSegmentAdded(zoom, 2, 10));  // inside a segment
    const ZoomSettings tight{false, std::vector<ZoomSegment>{{1, 3, 2, 0.5, 0.5, {}, false},
                                                             {3.5, 5, 2, 0.5, 0.5, {}, false}}};
    EXPECT_FALSE(withSegmentAdded(tight, 3.2, 10));  // under a second of room
    // Off: the automatic one goes. On: clicks make segments except over the user's.
    const ZoomSettings off = withAutoZoom(zoom, false, {}, 10);
    EXPECT_EQ(off.segments->size(), 1u);
    const ZoomSettings on = withAutoZoom(off, true, {{1.0, 0.3, 0.3}, {5.2, 0.6, 0.6}}, 10);
    ASSERT_EQ(on.segments->size(), 2u);
    EXPECT_TRUE(on.segments->at(0).automatic);
    EXPECT_EQ(on.segments->at(1), zoom.segments->at(1));
    EXPECT_TRUE(on.autoZoom);
}

TEST(InspectorRules, TabsSwitchTheBackgroundOnlyToAnotherKind) {
    const BackgroundStyle sunset = BackgroundStyle::gradient({{"#FF5F6D", "#FFC371"}, 45});
    const BackgroundStyle chosen = BackgroundStyle::solid("#FFFFFF");
    EXPECT_EQ(backgroundForTab(BackgroundKind::solid, sunset), BackgroundStyle::solid("#2C5364"));
    EXPECT_EQ(backgroundForTab(BackgroundKind::solid, chosen), std::nullopt);
    // Solid → Gradients → Solid comes back to #2C5364, not the colour chosen before.
    const BackgroundStyle gradient = *backgroundForTab(BackgroundKind::gradients, chosen);
    EXPECT_EQ(gradient, sunset);
    EXPECT_EQ(backgroundForTab(BackgroundKind::solid, gradient), BackgroundStyle::solid("#2C5364"));
    EXPECT_EQ(backgroundForTab(BackgroundKind::gradients, sunset), std::nullopt);
    EXPECT_EQ(backgroundForTab(BackgroundKind::image, chosen), std::nullopt);

    EXPECT_EQ(backgroundKindOf(BackgroundStyle::image("/a.png")), BackgroundKind::image);
    EXPECT_EQ(backgroundKindOf(chosen), BackgroundKind::solid);
    EXPECT_EQ(rawValue(BackgroundKind::image), "Image");
    EXPECT_EQ(shownAngle(chosen), 0);
    EXPECT_EQ(shownAngle(sunset), 45);
    EXPECT_EQ(shownSolidColor(sunset), "#2C5364");
    EXPECT_EQ(shownSolidColor(chosen), "#FFFFFF");
}

TEST(InspectorRules, EditsChangeOnlyWhatTheyName) {
    StyleSettings style;
    EXPECT_EQ(withGradientAngle(style, 90).background,
              BackgroundStyle::gradient({{"#FF5F6D", "#FFC371"}, 90}));
    style.background = BackgroundStyle::solid("#000000");
    EXPECT_EQ(withGradientAngle(style, 90), style);

    style.webcam.positionX = 0.3;
    style.webcam.positionY = 0.6;
    StyleSettings cornered = style;
    cornered.webcam.corner = WebcamSpec::Corner::topLeft;
    cornered.webcam.positionX = cornered.webcam.positionY = std::nullopt;
    EXPECT_EQ(withBubbleCorner(style, WebcamSpec::Corner::topLeft), cornered);
}

TEST(InspectorRules, ADraggedBubbleShowsTheCornerItSitsOnWithinOnePercent) {
    WebcamSpec webcam;  // 0.24 of 500: a side of 120, 17.5 from the edges
    const Size canvas{1000, 500};
    EXPECT_EQ(shownBubbleCorner(webcam, canvas), WebcamSpec::Corner::bottomRight);
    const auto draggedTo = [&](double x, double y) {
        webcam.positionX = x / canvas.width;
        webcam.positionY = y / canvas.height;
        return shownBubbleCorner(webcam, canvas);
    };
    EXPECT_EQ(draggedTo(77.5, 422.5), WebcamSpec::Corner::topLeft);
    EXPECT_EQ(draggedTo(77.5 + 4.9, 422.5 - 4.9), WebcamSpec::Corner::topLeft);
    EXPECT_EQ(draggedTo(1000 - 77.5, 77.5 + 4.9), WebcamSpec::Corner::bottomRight);
    EXPECT_EQ(draggedTo(77.5 + 5.1, 422.5), std::nullopt);
}

TEST(WindowPlacement, ANewWindowIsCentredOnTheScreenUnderThePointer) {
    const std::vector<ScreenArea> screens{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                          {{1920, 0, 1280, 1024}, {1920, 24, 1280, 1000}}};
    const QSize size(1100, 700);
    EXPECT_EQ(centredOnPointerScreen(size, {2500, 900}, screens), QPoint(2010, 174));
    EXPECT_EQ(centredOnPointerScreen(size, {1919, 0}, screens), QPoint(410, 170));
    EXPECT_EQ(centredOnPointerScreen(size, {3300, 1100}, screens), QPoint(410, 170));
    EXPECT_EQ(centredOnPointerScreen({1400, 1100}, {1920, 5}, screens), QPoint(1920, 24));
}

TEST(InspectorRules, PresetNamesLoseSpacesAndTabsAtTheEndsAndBlankOnesAreNotSaved) {
    EXPECT_EQ(presetNameToSave("  Talk \t"), "Talk");
    EXPECT_EQ(presetNameToSave("Two words"), "Two words");
    EXPECT_EQ(presetNameToSave(" \t  "), std::nullopt);
    EXPECT_EQ(presetNameToSave(""), std::nullopt);
    EXPECT_EQ(presetNameToSave("\nA\n"), "\nA\n");  // line breaks are not trimmed
}

// ---------------------------------------------------------------- time model

TEST(PlayerTimeModel, MirrorsThePlayersClockRateAndAudioSettings) {
    testing::coreApplication();
    testing::FakePlayer player;
    player.setVolume(0.25f);
    player.setMuted(true);
    auto item = std::make_shared<PlayerItem>();
    auto composition = std::make_shared<Composition>();
    composition->addTrack(TrackKind::video, "screen.mov", 0, {MediaTime::zero(), {3000, 600}},
                          MediaTime::zero());
    item->asset = composition;
    player.replaceCurrentItem(item);
    {
        PlayerTimeModel model(player);
        EXPECT_EQ(player.observerInterval, (MediaTime{1, 30}));
        EXPECT_EQ(std::pair(model.volume(), model.isMuted()), std::pair(0.25f, true));
        player.tick(1.5);
        EXPECT_EQ(model.current(), 1.5);
        EXPECT_EQ(model.duration(), 5.0);

        model.beginScrubbing();
        player.tick(2.5);
        EXPECT_EQ(model.current(), 1.5);  // the scrubber holds the playhead
        model.seek(4);
        EXPECT_EQ(model.current(), 4.0);
        EXPECT_EQ(player.seeks.back(), 4.0);
        model.endScrubbing();
        player.tick(4.1);
        EXPECT_EQ(model.current(), 4.1);

        model.setVolume(0.0f);
        model.setMuted(false);
        EXPECT_EQ(std::pair(player.volume(), player.isMuted()), std::pair(0.0f, false));
        model.setVolume(3.0f);
        EXPECT_EQ(player.volume(), 1.0f);
    }
    EXPECT_EQ(player.observerCount(), 0u);  // removed with the model
}

}  // namespace
}  // namespace zarvex
