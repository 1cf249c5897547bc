// With no sound server to talk to, the player keeps time with a steady clock
// and plays silently. Its own program: Qt connects to the server once per
// process.

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "player_rig.h"
#include "render/project_document.h"
#include "render/qt_audio_output.h"
#include "render_fixtures.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

// The document with what it gets when given nothing: the real player, silent
// here. It shows the first picture when loaded, redraws the paused picture
// on a style edit, its trim end stops playback, and it plays on a steady clock.
TEST(PlaybackWithoutSoundServer, TheDocumentDrivesTheRealPlayerSilentlyOnASteadyClock) {
    testing::TempDir dir;
    testing::ScopedEnv server("PULSE_SERVER", "unix:" + (dir / "native").string());
    testing::ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
    testing::coreApplication();
    EXPECT_FALSE(makeQtAudioOutput()->start([](float*, int) { return 0; }));
    testing::writeRecordingFolder(dir / "Recording");
    ProjectDocument::Services services;
    services.styleForNewRecording = testing::fallbackStyle;
    ProjectDocument document(dir / "Recording", std::move(services));
    auto sink = std::make_shared<testing::RecordingSink>();
    document.player().setFrameSink(sink);
    bool loaded = false;
    document.load([&] { loaded = true; });
    ASSERT_TRUE(testing::processEventsUntil([&] { return loaded && sink->count() == 1; }));
    const auto reference = [&](double seconds) {
        CompositionFrameSource source(document.composition());
        const auto composition = document.makeVideoComposition(1.0);
        FramePool pool(PixelFormat::bgra, 320, 240);
        return source.styledFrameAt(*composition, MediaTime::fromSeconds(seconds), pool).frame();
    };
    EXPECT_EQ(testing::maxDifference(sink->last()->frame, reference(0)), 0);

    StyleSettings style = document.style();
    style.paddingFraction = 0.2;
    document.setStyle(style);
    ASSERT_TRUE(testing::processEventsUntil([&] { return sink->count() >= 2; }));
    testing::processEventsFor(std::chrono::milliseconds(200));  // the document's seek too
    EXPECT_EQ(testing::maxDifference(sink->last()->frame, reference(0)), 0);

    document.setTrimEnd(0.3);
    EXPECT_EQ(document.player().currentItem()->forwardPlaybackEndTime, MediaTime::fromSeconds(0.3));
    document.player().setRate(1);
    ASSERT_TRUE(testing::processEventsUntil([&] { return document.player().rate() == 0; }));
    EXPECT_EQ(document.player().currentTime(), MediaTime::fromSeconds(0.3));
    EXPECT_LT(sink->last()->time, MediaTime::fromSeconds(0.3));

    document.setTrimEnd(std::nullopt);
    const std::size_t before = sink->count();
    const auto start = std::chrono::steady_clock::now();
    document.player().setRate(1);
    testing::processEventsFor(std::chrono::milliseconds(500));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NEAR(document.player().currentTime().seconds() - 0.3, elapsed, 0.1);
    EXPECT_GT(sink->count(), before + 10);
    EXPECT_FALSE(document.player().error());
}

}  // namespace
}  // namespace zarvex
