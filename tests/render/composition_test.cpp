#include "render/composition.h"

#include <span>

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "media/media_error.h"
#include "media_fixtures.h"
#include "render/export_session.h"
#include "render/frame_source.h"
#include "render/geometry.h"
#include "render/video_composition.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::readCounter;
using testing::RecordingFolderOptions;
using testing::TempDir;

double seconds(MediaTime time) {
    return time.seconds();
}

ProjectTimeline timelineOf(const std::filesystem::path& folder) {
    return buildProjectTimeline(folder, readProjectFile(folder));
}

// Writes a recording folder and builds its timeline. Its screen movie has 120
// frames at 60 fps from `screenStart`, each showing its index, and two audio tracks.
ProjectTimeline recordedTimeline(const TempDir& dir, std::vector<RecordedClick> clicks = {},
                                 std::optional<double> webcamStart = {}, double screenStart = 0) {
    RecordingFolderOptions options;
    options.clicks = std::move(clicks);
    options.webcamStartSeconds = webcamStart;
    options.screen.startSeconds = screenStart;
    testing::writeRecordingFolder(dir / "rec", options);
    return timelineOf(dir / "rec");
}

// The frame counters shown on `tracks` at composition time `at`.
std::vector<int> countersAt(CompositionFrameSource& source, std::span<const TrackID> tracks,
                            MediaTime at) {
    std::vector<int> counters;
    for (const SourceFrame& frame : source.sourceFramesAt(at, tracks).frames) {
        counters.push_back(readCounter(frame.frame));
    }
    return counters;
}

TEST(Composition, ExactTimesTracksTimelinesFromTheLaterStartAndOneStyledInstruction) {
    EXPECT_EQ(addTimes({1, 60}, {1, 600}), (MediaTime{11, 600}));
    EXPECT_EQ(subtractTimes({1, 48000}, {1, 90000}), (MediaTime{15 - 8, 720000}));
    EXPECT_EQ(subtractTimes({1, 2}, {1, 1}), (MediaTime{-1, 2}));
    EXPECT_FALSE(addTimes(MediaTime::invalid(), {1, 1}).isValid());
    // Timescales with no common multiple in 32 bits fall back to nanoseconds.
    const MediaTime mixed = addTimes({1, 2147483629}, {1, 2147483587});
    EXPECT_NEAR(mixed.seconds(), 2 / 2147483600.0, 1e-9);

    // Composition tracks count from one and cover their place on the timeline.
    Composition composition;
    EXPECT_EQ(composition.duration(), MediaTime::zero());
    const TrackID video = composition.addTrack(TrackKind::video, "screen.mov", 0,
                                               {{30, 60}, {150, 60}}, MediaTime::zero());
    const TrackID audio =
        composition.addTrack(TrackKind::audio, "screen.mov", 1, {{1, 2}, {3, 1}}, {0, 1});
    EXPECT_EQ(video, 1);
    EXPECT_EQ(audio, 2);
    EXPECT_EQ(composition.track(3), nullptr);
    EXPECT_EQ(composition.track(video)->timeRange(), (TimeRange{MediaTime::zero(), {2, 1}}));
    EXPECT_EQ(composition.track(video)->sourceTime({1, 1}), (MediaTime{3, 2}));
    EXPECT_EQ(composition.duration(), (MediaTime{5, 2}));

    // A timeline without webcam starts at the screen and keeps every audio track.
    TempDir dir;
    const ProjectTimeline timeline = recordedTimeline(dir, {{0.5, 0.25, 0.75}});
    EXPECT_EQ(timeline.screenTrackID, 1);
    EXPECT_FALSE(timeline.webcamTrackID);
    EXPECT_EQ(timeline.origin, MediaTime::zero());
    EXPECT_EQ(timeline.screenSize, (Size{320, 240}));
    EXPECT_NEAR(seconds(timeline.duration), 2.0, 0.01);
    const auto audioTracks = timeline.composition.tracksOf(TrackKind::audio);
    ASSERT_EQ(audioTracks.size(), 2u);
    EXPECT_EQ(audioTracks[0].trackID, 2);
    EXPECT_EQ(audioTracks[1].trackID, 3);
    EXPECT_LT(audioTracks[0].sourceTrackIndex, audioTracks[1].sourceTrackIndex);  // file order
    EXPECT_EQ(timeline.clicks, (std::vector<RecordedClick>{{0.5, 0.25, 0.75}}));

    // The styled video composition: one instruction over the whole timeline.
    BackgroundCache cache;
    VideoCompositionSource source;
    source.screenSize = {1440, 900};
    source.screenTrackID = 1;
    source.duration = {2, 1};
    source.clicks = {{0.5, 0.1, 0.2}};
    source.style.aspect = AspectPreset::wide16x9;
    const VideoComposition styled = makeStyledVideoComposition(source, 1.0, cache);

    EXPECT_EQ(styled.renderSize, (Size{1600, 900}));
    EXPECT_EQ(styled.frameDuration, (MediaTime{1, 60}));
    ASSERT_EQ(styled.instructions.size(), 1u);
    const auto& instruction = dynamic_cast<const StyleInstruction&>(*styled.instructions[0]);
    EXPECT_EQ(instruction.timeRange(), (MediaTimeRange{MediaTime::zero(), {2, 1}}));
    EXPECT_EQ(instruction.requiredSourceTrackIDs(), (std::vector<TrackID>{1}));
    EXPECT_EQ(instruction.canvas(), (Size{1600, 900}));
    EXPECT_EQ(instruction.clicks(), source.clicks);  // ripples absent count as on
    EXPECT_EQ(styled.instructionAt({5, 1}), styled.instructions[0].get());

    // Scaled for export, with a webcam and ripples off.
    source.style.aspect = AspectPreset::original;
    source.webcamTrackID = 4;
    source.style.clickRipples = false;
    const VideoComposition scaled = makeStyledVideoComposition(source, 0.5, cache);
    EXPECT_EQ(scaled.renderSize, (Size{720, 450}));
    const auto& half = dynamic_cast<const StyleInstruction&>(*scaled.instructions[0]);
    EXPECT_EQ(half.requiredSourceTrackIDs(), (std::vector<TrackID>{1, 4}));
    EXPECT_TRUE(half.clicks().empty());
    EXPECT_EQ(half.style().cornerRadius, source.style.cornerRadius * 0.5);
    EXPECT_EQ(half.background().width(), 720);

    // Render sizes follow the scale, truncated to even and at least 2; exports never enlarge.
    EXPECT_EQ(renderSizeFor({3840, 2160}, 0.5), (Size{1920, 1080}));
    EXPECT_EQ(renderSizeFor({2003, 1000}, 0.5), (Size{1000, 500}));  // 1001.5 → 1000
    EXPECT_EQ(renderSizeFor({2, 2}, 0.5), (Size{2, 2}));             // 1 → 2

    using Resolution = ExportOptions::Resolution;
    EXPECT_EQ(exportScale(Resolution::native, {3840, 2160}), 1.0);
    EXPECT_EQ(exportScale(Resolution::p1080, {1280, 720}), 1.0);
    EXPECT_DOUBLE_EQ(exportScale(Resolution::p1080, {3840, 2160}), 0.5);
    EXPECT_DOUBLE_EQ(exportScale(Resolution::p720, {1920, 1080}), 2.0 / 3.0);
    EXPECT_EQ(exportScale(Resolution::p720, {1080, 1920}), 0.375);
    EXPECT_EQ(renderSizeFor({1080, 1920}, 0.375), (Size{404, 720}));  // 405 rounds down to even

    // A scaled style scales only absolute lengths.
    StyleSettings style;
    style.webcam.sizeFraction = 0.3;
    StyleSettings expected = style;
    expected.cornerRadius = 12;
    expected.shadow.blur = 22;
    expected.shadow.offsetY = 7;
    EXPECT_EQ(scaledStyle(style, 0.5), expected);

    // The background cache holds one background: reused while background and whole canvas
    // stay, drawn anew when either changes.
    BackgroundCache backgrounds;
    const BackgroundStyle red = BackgroundStyle::solid("#FF0000");
    const Image first = backgrounds.background(red, {64, 32});
    EXPECT_EQ(backgrounds.background(red, {64.7, 32.2}).row(0), first.row(0));  // same pixels
    EXPECT_NE(backgrounds.background(BackgroundStyle::solid("#FF0001"), {64, 32}).row(0),
              first.row(0));
    EXPECT_EQ(backgrounds.background(red, {64, 34}).height(), 34);
    EXPECT_NE(backgrounds.background(red, {64, 32}).row(0), first.row(0));
    // A background that JSON cannot hold is still drawn.
    const BackgroundStyle broken = BackgroundStyle::gradient({{"#000000"}, 0.0 / 0.0});
    EXPECT_EQ(backgrounds.background(broken, {4, 2}).width(), 4);

    // With a webcam, the later of webcam and screen is the origin and earlier clicks are dropped.
    TempDir laterDir;
    const ProjectTimeline later =
        recordedTimeline(laterDir, {{0.2, 0.1, 0.1}, {0.5, 0.2, 0.2}, {1.25, 0.3, 0.3}}, 0.5);
    EXPECT_NEAR(seconds(later.origin), 0.5, 1e-6);
    // Screen and audio keep only their part from t0 on, placed at 0.
    for (const CompositionTrack& track : later.composition.tracks()) {
        EXPECT_NEAR(seconds(track.insertTime), 0, 1e-6) << track.trackID;
        EXPECT_NEAR(seconds(track.sourceRange.start), 0.5, 1e-6) << track.trackID;
    }
    EXPECT_NEAR(seconds(later.duration), 1.5, 0.01);
    ASSERT_EQ(later.webcamTrackID, std::optional<TrackID>(4));  // after video and two audio
    ASSERT_EQ(later.clicks.size(), 2u);
    EXPECT_NEAR(later.clicks[0].t, 0.0, 1e-6);
    EXPECT_NEAR(later.clicks[1].t, 0.75, 1e-6);
    EXPECT_EQ(later.clicks[1].x, 0.3);

    // Composition time 1.0 is source time 1.5: screen frame 90, webcam frame 30.
    CompositionFrameSource laterSource(std::make_shared<const Composition>(later.composition));
    const TrackID tracks[] = {later.screenTrackID, *later.webcamTrackID};
    EXPECT_EQ(countersAt(laterSource, tracks, MediaTime::fromSeconds(1.0)), (std::vector{90, 30}));
    // Between two screen frames the earlier one shows, so the signature repeats.
    EXPECT_EQ(laterSource.sourceFramesAt(MediaTime{6007, 6000}, tracks).signature,
              laterSource.sourceFramesAt(MediaTime::fromSeconds(1.0), tracks).signature);
    EXPECT_EQ(countersAt(laterSource, tracks, MediaTime::zero()),
              (std::vector{30, 0}));  // going back

    // An earlier webcam keeps the screen's start.
    TempDir other;
    const ProjectTimeline early =
        recordedTimeline(other, {{0.2, 0.5, 0.5}, {0.3, 0.5, 0.5}}, 0.1, 0.25);
    EXPECT_NEAR(seconds(early.origin), 0.25, 1e-6);
    const CompositionTrack* webcam = early.composition.track(*early.webcamTrackID);
    EXPECT_NEAR(seconds(webcam->sourceRange.start), 0.25, 1e-6);  // cut to the base range
    EXPECT_NEAR(seconds(webcam->insertTime), 0, 1e-6);
    ASSERT_EQ(early.clicks.size(), 1u);
    EXPECT_NEAR(early.clicks[0].t, 0.05, 1e-6);

    // A webcam ending early covers only its own span.
    TempDir endDir;
    testing::writeRecordingFolder(endDir / "rec");
    testing::writeWebcamMovie(endDir / "rec" / "webcam.mov", 0.0, 15);  // 0 … 0.5 s
    ProjectMeta endMeta = readProjectFile(endDir / "rec");
    endMeta.webcamFile = "webcam.mov";
    writeProjectFile(endDir / "rec", endMeta);

    const ProjectTimeline ended = timelineOf(endDir / "rec");
    const CompositionTrack* shortWebcam = ended.composition.track(*ended.webcamTrackID);
    EXPECT_NEAR(seconds(shortWebcam->timeRange().end), 0.5, 0.02);  // the last frame lasts ~1/60 s
    EXPECT_NEAR(seconds(ended.duration), 2.0, 0.01);                // the screen still runs on

    CompositionFrameSource endSource(std::make_shared<const Composition>(ended.composition));
    const TrackID endTracks[] = {ended.screenTrackID, *ended.webcamTrackID};
    EXPECT_EQ(countersAt(endSource, endTracks, MediaTime::fromSeconds(0.4)), (std::vector{24, 12}));
    const SourceFrameSet late = endSource.sourceFramesAt(MediaTime::fromSeconds(0.8), endTracks);
    ASSERT_EQ(late.frames.size(), 1u);  // no webcam picture past its end
    EXPECT_EQ(late.frames[0].trackID, ended.screenTrackID);
    EXPECT_EQ(late.signature[1], std::nullopt);

    std::filesystem::remove(endDir / "rec" / "webcam.mov");
    EXPECT_THROW(timelineOf(endDir / "rec"), MediaError);
}

// The cache holds one background: reused while background and whole canvas
// stay, drawn anew when either changes.

}  // namespace
}  // namespace zarvex
