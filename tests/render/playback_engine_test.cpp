// The player engine without sound: exact seeks, superseded seeks, playback on
// the steady clock, the end time, redraws after style changes, drawing at the
// view's size, and decoding failures. Frames are compared with what the
// compositor itself draws at the same time.

#include <filesystem>

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "player_rig.h"
#include "render/playback_pipeline.h"
#include "render_fixtures.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::PlayerRig;
using testing::PlayerRigOptions;
using testing::processEventsUntil;

MediaTime seconds(double value) {
    return MediaTime::fromSeconds(value);
}

// The last picture shown is the compositor's own frame at `time`.
void expectShows(PlayerRig& rig, const VideoComposition& composition, MediaTime time) {
    const auto last = rig.sink().last();
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->time, time);
    const VideoFrame expected = rig.reference(composition, time);
    ASSERT_EQ(last->frame.width, expected.width);
    ASSERT_EQ(last->frame.height, expected.height);
    EXPECT_EQ(testing::maxDifference(last->frame, expected), 0) << "at " << time.seconds();
}

PlayerRigOptions withWebcamForOneSecond() {
    PlayerRigOptions options;
    options.webcamFrames = 30;  // 1 s of the 2 s screen
    options.recording.clicks = {{0.55, 0.5, 0.5}};
    return options;
}

TEST(PlaybackEngine, SeeksShowTheComposedFrameAtThatTimeTheLatestWinsRedrawnOnStyleChanges) {
    PlayerRig rig(withWebcamForOneSecond());
    const VideoComposition& video = *rig.initialComposition();
    // Forward, in a ripple, back, the same time again, after the webcam
    // ended, the very end, past the end (clamped to it).
    for (const double t : {0.5, 0.6, 0.25, 0.25, 1.5, 1.99}) {
        ASSERT_TRUE(rig.seekAndWait(seconds(t)));
        expectShows(rig, video, seconds(t));
        EXPECT_EQ(rig.player().currentTime(), seconds(t));
    }
    // At and past the end the last picture stays, as when playback ends there.
    const VideoFrame lastPicture = rig.reference(video, seconds(2.0 - 1.0 / 600));
    ASSERT_TRUE(rig.seekAndWait(seconds(5)));
    EXPECT_EQ(rig.player().currentTime(), seconds(2));
    EXPECT_EQ(testing::maxDifference(rig.sink().last()->frame, lastPicture), 0);
    // Before the start: the start.
    ASSERT_TRUE(rig.seekAndWait(seconds(-1)));
    expectShows(rig, video, MediaTime::zero());

    // A later seek supersedes ones still on their way.
    std::vector<bool> results;
    for (const double t : {1.5, 0.2, 1.0}) {
        rig.player().seek(seconds(t), [&](bool finished) { results.push_back(finished); });
    }
    ASSERT_TRUE(processEventsUntil([&] { return results.size() == 3; }));
    EXPECT_EQ(results, (std::vector<bool>{false, false, true}));
    expectShows(rig, video, seconds(1.0));

    // The paused picture is redrawn on style changes, and drawn at the view's size.
    ASSERT_TRUE(rig.seekAndWait(seconds(0.7)));
    const std::size_t before = rig.sink().count();
    StyleSettings style;
    style.background = BackgroundStyle::solid("#20A040");
    style.paddingFraction = 0.15;
    const auto restyled = rig.videoComposition(style);
    rig.player().setVideoComposition(restyled);
    ASSERT_TRUE(processEventsUntil([&] { return rig.sink().count() > before; }));
    expectShows(rig, *restyled, seconds(0.7));
    EXPECT_EQ(rig.player().currentItem()->videoComposition, restyled);

    // The document's way: replace, then seek to the current time.
    style.cornerRadius = 60;
    const auto again = rig.videoComposition(style);
    rig.player().setVideoComposition(again);
    ASSERT_TRUE(rig.seekAndWait(rig.player().currentTime()));
    expectShows(rig, *again, seconds(0.7));

    // Smaller than the 320 × 240 canvas, the view gets pictures drawn at its
    // size: 100 / 240 of the canvas, the document's own rule.
    rig.player().setVideoComposition(rig.initialComposition());
    rig.player().setMaximumPictureSize({160, 100});
    ASSERT_TRUE(rig.seekAndWait(seconds(0.4)));
    const auto scaled = rig.videoComposition(StyleSettings{}, 100.0 / 240);
    EXPECT_EQ(scaled->renderSize, (Size{132, 100}));
    expectShows(rig, *scaled, seconds(0.4));

    rig.player().setMaximumPictureSize({});  // no limit: full size again
    ASSERT_TRUE(processEventsUntil([&] { return rig.sink().last()->frame.width == 320; }));
    expectShows(rig, *rig.initialComposition(), seconds(0.4));
}

TEST(PlaybackEngine, PlaysOnASteadyClockWithoutSoundAndStopsAtTheEndTime) {
    // The movie has sound, but the output ("no audio") never starts.
    PlayerRigOptions options;
    options.audioOutput = [] { return std::make_unique<NullAudioOutput>(); };
    PlayerRig rig(options);
    ASSERT_TRUE(rig.seekAndWait(seconds(0.2)));
    std::vector<MediaTime> observed;
    rig.player().addPeriodicTimeObserver({1, 30},
                                         [&](MediaTime time) { observed.push_back(time); });
    std::vector<double> rates;
    rig.player().addRateObserver([&](double rate) { rates.push_back(rate); });
    const std::size_t before = rig.sink().count();
    const auto start = std::chrono::steady_clock::now();
    rig.player().setRate(1);
    testing::processEventsFor(600ms);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double position = rig.player().currentTime().seconds() - 0.2;
    rig.player().setRate(0);

    EXPECT_EQ(rates, (std::vector<double>{1, 0}));
    EXPECT_NEAR(position, elapsed, 0.1);  // the steady clock, give or take a busy moment
    // Pictures came in time order, each the composed frame of its time.
    const auto shown = rig.sink().shown();
    ASSERT_GT(shown.size(), before + 10);
    for (std::size_t i = before + 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i].time, shown[i - 1].time);
    }
    const auto& sample = shown[shown.size() / 2];
    EXPECT_EQ(
        testing::maxDifference(sample.frame, rig.reference(*rig.initialComposition(), sample.time)),
        0);
    // The observer ran about every 1/30 s (and on the start and the stop).
    EXPECT_GE(observed.size(), 10u);
    EXPECT_LE(observed.size(), 22u);
    for (std::size_t i = 1; i < observed.size(); ++i) {
        EXPECT_GE(observed[i], observed[i - 1]);
    }
    EXPECT_TRUE(rig.player().statistics().offsetSeconds.empty());  // nothing was heard

    // It stops at the end time, and plays again from the start.
    rig.player().setForwardPlaybackEndTime(seconds(0.5));
    ASSERT_TRUE(rig.seekAndWait(seconds(0.3)));
    rig.player().setRate(1);
    ASSERT_TRUE(processEventsUntil([&] { return rates.size() == 4; }));
    EXPECT_EQ(rates, (std::vector<double>{1, 0, 1, 0}));
    EXPECT_EQ(rig.player().rate(), 0);
    EXPECT_EQ(rig.player().currentTime(), seconds(0.5));
    EXPECT_EQ(observed.back(), seconds(0.5));
    const auto last = rig.sink().last();
    EXPECT_LT(last->time, seconds(0.5));
    EXPECT_GE(last->time, seconds(0.5 - 2.0 / 60));

    // At the end, play starts over from the beginning.
    rig.player().setRate(1);
    EXPECT_LT(rig.player().currentTime(), seconds(0.1));
    ASSERT_TRUE(processEventsUntil([&] { return rates.size() == 6; }));
    EXPECT_EQ(rig.player().currentTime(), seconds(0.5));
}

TEST(PlaybackEngine, AMovieThatCannotBeDecodedStopsWithAMessage) {
    PlayerRig rig;
    std::filesystem::remove(rig.folder() / kScreenFileName);
    EXPECT_FALSE(rig.seekAndWait(seconds(0.5)));
    ASSERT_TRUE(processEventsUntil([&] { return rig.player().error().has_value(); }));
    EXPECT_NE(rig.player().error()->find(std::string(kScreenFileName)), std::string::npos)
        << *rig.player().error();
    EXPECT_EQ(rig.player().rate(), 0);
}

}  // namespace
}  // namespace zarvex
