#include "render/project_document.h"

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "media_fixtures.h"
#include "model/file_io.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::exportAndWait;
using testing::loadDocument;
using testing::OpenDocument;
using testing::openDocument;
using testing::processEventsUntil;
using testing::readText;
using testing::TempDir;

// A recording with a webcam starting at 0.5 s and clicks before and after it.
std::filesystem::path makeRecording(const TempDir& dir) {
    testing::RecordingFolderOptions options;
    options.webcamStartSeconds = 0.5;
    options.clicks = {{0.25, 0.5, 0.5}, {1.0, 0.5, 0.5}};
    testing::writeRecordingFolder(dir / "Demo", options);
    return dir / "Demo";
}

StyleSettings styleWithRadius(double radius) {
    StyleSettings style = testing::fallbackStyle();
    style.cornerRadius = radius;
    return style;
}

// Each test has that recording in a folder of its own.
class ProjectDocumentTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::filesystem::path folder = makeRecording(dir);
};

const VideoComposition* playerComposition(const OpenDocument& open) {
    return open.player->currentItem()->videoComposition.get();
}

void loadAndWait(const OpenDocument& open) {
    bool done = false;
    open->load([&] { done = true; });
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
}

// ---------------------------------------------------------------- opening and loading

TEST_F(ProjectDocumentTest, TakesTheStoredStyleOrTheOneForNewRecordingsAndReportsFailures) {
    EXPECT_EQ(openDocument(folder)->style(), testing::fallbackStyle());

    ProjectMeta meta = readProjectFile(folder);
    meta.style = styleWithRadius(40);
    writeProjectFile(folder, meta);
    const auto open = openDocument(folder / "");  // a trailing separator names the same folder
    EXPECT_EQ(open->style().cornerRadius, 40);
    EXPECT_EQ(open->bundleURL(), folder);
    EXPECT_FALSE(open->isLoaded());

    // Without a loaded recording there is no export session.
    exportAndWait(open, dir / "out.mp4");
    EXPECT_EQ(open->errorMessage(),
              "Export failed: Recording failed: Could not create export session.");
    EXPECT_FALSE(open->exportProgress());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));

    EXPECT_THROW(openDocument(dir / "missing"), FileError);
    testing::writeText(dir / "project.json", "{\"version\": 1}");
    EXPECT_THROW(openDocument(dir.path()), DecodeError);

    // Loading failures land in the error message.
    testing::writeMovieWithoutVideo(folder / "screen.mov");
    auto broken = openDocument(folder);
    loadAndWait(broken);
    EXPECT_FALSE(broken->isLoaded());
    EXPECT_EQ(broken->errorMessage(), "Recording failed: screen.mov has no video track.");

    std::filesystem::remove(folder / "screen.mov");
    broken = openDocument(folder);
    loadAndWait(broken);
    EXPECT_FALSE(broken->isLoaded());
    EXPECT_NE(broken->errorMessage().value_or("").find("screen.mov"), std::string::npos);
}

TEST_F(ProjectDocumentTest,
       BuildsTheTimelineShowsTheFirstStyledFrameAndDrawsOnlyTheLatestBackground) {
    const auto open = loadDocument(folder);
    EXPECT_EQ(open->webcamTrackID(), std::optional<TrackID>(4));
    EXPECT_EQ(open->clickTimes(), (std::vector<double>{0.5}));  // the earlier click is dropped
    EXPECT_EQ(open->trimRange().first, 0);
    EXPECT_NEAR(open->trimRange().second, 1.5, 0.01);

    ASSERT_NE(open.player->currentItem(), nullptr);
    EXPECT_EQ(open.player->currentItem()->asset, open->composition());
    EXPECT_EQ(playerComposition(open)->renderSize, (Size{320, 240}));
    EXPECT_FALSE(open.player->currentItem()->forwardPlaybackEndTime.isValid());
    EXPECT_EQ(open.player->currentFrame().width, 320);
    EXPECT_FALSE(open->hasPendingSave());
    EXPECT_FALSE(open->errorMessage());

    // A stored trim limits the player.
    ProjectMeta meta = readProjectFile(folder);
    meta.trimStart = 0.25;
    meta.trimEnd = 1.0;
    writeProjectFile(folder, meta);
    const auto trimmed = loadDocument(folder);
    EXPECT_EQ(trimmed->trimRange(), (std::pair<double, double>{0.25, 1.0}));
    EXPECT_EQ(trimmed.player->currentItem()->forwardPlaybackEndTime, (MediaTime{600, 600}));

    // Backgrounds are reused, and a burst of them draws only the latest.
    const auto backgroundPixels = [&] { return open->backgroundCache().entry()->second.row(0); };
    const std::uint8_t* first = backgroundPixels();
    open->setStyle(styleWithRadius(50));
    EXPECT_EQ(backgroundPixels(), first);

    int framesDrawn = 0;
    open.player->setFrameHandler([&](const VideoFrame&, MediaTime) { ++framesDrawn; });
    StyleSettings style = open->style();
    for (const char* hex : {"#654321", "#111111", "#222222", "#333333"}) {
        style.background = BackgroundStyle::solid(hex);
        open->setStyle(style);
    }
    ASSERT_TRUE(processEventsUntil([&] { return open->isStyleApplied(); }));
    EXPECT_NE(backgroundPixels(), first);
    EXPECT_EQ(open->backgroundCache().entry()->first,
              backgroundCacheKey(BackgroundStyle::solid("#333333"), {320, 240}));
    EXPECT_EQ(framesDrawn, 1);
}

// ---------------------------------------------------------------- style, trim and saving

void waitUntilSaved(const OpenDocument& open) {
    ASSERT_TRUE(processEventsUntil([&] { return !open->hasPendingSave(); }));
}

TEST_F(ProjectDocumentTest, EditsAreDrawnOffTheMainThreadAndSavedOnce400MsAfterTheLast) {
    const auto open = loadDocument(folder);
    open.player->seek(MediaTime::fromSeconds(0.5));
    const std::string original = readText(folder / "project.json");
    // An equal style changes nothing.
    int changes = 0;
    QObject::connect(open.document.get(), &ProjectDocument::styleChanged, [&] { ++changes; });
    const VideoComposition* unchanged = playerComposition(open);
    open->setStyle(StyleSettings(open->style()));
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(open->hasPendingSave());
    EXPECT_EQ(playerComposition(open), unchanged);

    // A new canvas needs a new background: the player keeps the old style
    // until a worker has drawn it.
    StyleSettings style = open->style();
    style.aspect = AspectPreset::square;
    open->setStyle(style);
    EXPECT_FALSE(open->isStyleApplied());
    EXPECT_EQ(playerComposition(open)->renderSize, (Size{320, 240}));
    ASSERT_TRUE(processEventsUntil([&] { return open->isStyleApplied(); }));
    EXPECT_EQ(playerComposition(open)->renderSize, (Size{320, 320}));
    EXPECT_EQ(open.player->currentFrame().height, 320);  // redrawn while paused
    EXPECT_EQ(open.player->currentTime(), MediaTime::fromSeconds(0.5));

    // Ten edits a hundred milliseconds apart, drawn at once (same background).
    for (int i = 1; i <= 10; ++i) {
        open.scheduler->advance(100ms);
        style.cornerRadius = i;
        open->setStyle(style);
        EXPECT_TRUE(open->isStyleApplied());
        EXPECT_EQ(readText(folder / "project.json"), original) << "edit " << i;
    }
    EXPECT_EQ(playerComposition(open)->instructions.size(), 1u);
    EXPECT_EQ(open.scheduler->pendingCount(), 1u);
    open.scheduler->advance(399ms);
    EXPECT_EQ(readText(folder / "project.json"), original);
    open.scheduler->advance(1ms);
    EXPECT_TRUE(open->hasPendingSave());  // being written on the writer thread
    waitUntilSaved(open);
    EXPECT_EQ(readProjectFile(folder).style, style);
    EXPECT_EQ(open.scheduler->pendingCount(), 0u);
}

TEST_F(ProjectDocumentTest, TrimAndStyleChangesAreSavedKeepingTheRestAndFailuresReported) {
    ProjectMeta expected = readProjectFile(folder);
    const auto open = loadDocument(folder);
    int changes = 0;
    QObject::connect(open.document.get(), &ProjectDocument::trimChanged, [&] { ++changes; });

    open->setTrimEnd(1.0);
    EXPECT_EQ(open.player->currentItem()->forwardPlaybackEndTime, (MediaTime{600, 600}));
    open->setTrimStart(0.0);  // nil → 0 is a change
    open->setTrimStart(0.0);
    EXPECT_EQ(changes, 2);
    open.scheduler->advance(400ms);
    waitUntilSaved(open);
    const ProjectMeta saved = readProjectFile(folder);
    EXPECT_EQ(saved.trimStart, 0.0);
    EXPECT_EQ(saved.trimEnd, 1.0);

    open->setTrimEnd(std::nullopt);
    EXPECT_FALSE(open.player->currentItem()->forwardPlaybackEndTime.isValid());
    EXPECT_NEAR(open->trimRange().second, 1.5, 0.01);
    open->setStyle(styleWithRadius(7));
    open->saveNow();
    EXPECT_FALSE(open->hasPendingSave());
    expected.style = styleWithRadius(7);
    expected.trimStart = 0.0;
    EXPECT_EQ(readProjectFile(folder), expected);  // the rest of the file kept

    // A folder in the way of project.json makes the write fail.
    std::filesystem::remove(folder / "project.json");
    std::filesystem::create_directory(folder / "project.json");
    open->setStyle(styleWithRadius(8));
    open->saveNow();
    ASSERT_TRUE(open->errorMessage());
    EXPECT_TRUE(open->errorMessage()->starts_with("Could not save style: "))
        << *open->errorMessage();
    EXPECT_EQ(open->style().cornerRadius, 8);
}

// Segments made from the clicks when the recording opens, drawn alike by the
// player and the export, stored by the next save and never by a read-only
// document.
TEST_F(ProjectDocumentTest, AutomaticSegmentsReachPlayerAndExportAndAreStoredByTheNextSave) {
    ProjectMeta meta = readProjectFile(folder);
    meta.zoom = ZoomSettings{true, std::nullopt};
    writeProjectFile(folder, meta);
    const std::string original = readText(folder / "project.json");
    {
        const auto readOnly = openDocument(folder);
        readOnly->setReadOnly(true);
        loadAndWait(readOnly);
        ASSERT_TRUE(readOnly->zoom() && readOnly->zoom()->segments);
        readOnly->setZoom(ZoomSettings{false, std::vector<ZoomSegment>{}});
        readOnly->saveNow();
    }
    EXPECT_EQ(readText(folder / "project.json"), original);

    const auto open = loadDocument(folder);
    const std::vector<ZoomSegment> made = segmentsFromClicks(open->clicks(), 1.5);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(open->zoom()->segments, made);
    const auto zoomOf = [](const VideoComposition& composition) {
        return dynamic_cast<const StyleInstruction&>(*composition.instructions[0]).zoom();
    };
    EXPECT_EQ(zoomOf(*playerComposition(open)), made);
    EXPECT_FALSE(open->hasPendingSave());

    ZoomSettings edited = *open->zoom();
    edited.segments->front().scale = 3;
    const VideoComposition* before = playerComposition(open);
    open->setZoom(edited);
    EXPECT_NE(playerComposition(open), before);  // redrawn at once
    EXPECT_EQ(zoomOf(*playerComposition(open)).front().scale, 3);
    open.scheduler->advance(400ms);
    waitUntilSaved(open);
    EXPECT_EQ(readProjectFile(folder).zoom, edited);
    EXPECT_EQ(zoomOf(*open->makeVideoComposition(0.5)), edited.segments);  // as exported
}

TEST_F(ProjectDocumentTest, APendingSaveIsWrittenWhenTheDocumentGoesAway) {
    auto open = loadDocument(folder);
    open->setStyle(styleWithRadius(3));
    open.document.reset();
    EXPECT_EQ(readProjectFile(folder).style, styleWithRadius(3));
    // The debounced task died with the document: nothing runs later.
    const std::string written = readText(folder / "project.json");
    open.scheduler->advance(1s);
    EXPECT_EQ(readText(folder / "project.json"), written);
}

// ---------------------------------------------------------------- renaming

void renameAndWait(const OpenDocument& open, std::string_view name) {
    bool done = false;
    open->rename(name, [&] { done = true; });
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
}

TEST_F(ProjectDocumentTest, SanitisesTheNameMovesTheFolderAndReloads) {
    EXPECT_EQ(sanitizedRecordingName(" a/b:c "), "a-b-c");
    EXPECT_EQ(sanitizedRecordingName("\n\t\u00A0x y\u3000\r\n"), "x y");
    EXPECT_EQ(sanitizedRecordingName(" \n "), "");

    const auto open = loadDocument(folder);
    open->setStyle(styleWithRadius(9));
    open.player->seek(MediaTime::fromSeconds(1.0));
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> renamed;
    open->onRenamed = [&](const auto& from, const auto& to) { renamed.emplace_back(from, to); };

    // Blank and unchanged names are ignored.
    renameAndWait(open, "   ");
    renameAndWait(open, " Demo\n");
    EXPECT_TRUE(renamed.empty());
    EXPECT_EQ(open->bundleURL(), folder);

    renameAndWait(open, " a/b:c ");
    const auto moved = dir / "a-b-c";
    EXPECT_EQ(open->bundleURL(), moved);
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(renamed, (std::vector{std::pair{folder, moved}}));
    EXPECT_TRUE(open->isLoaded());
    EXPECT_EQ(open->composition()->tracks()[0].sourceFile.parent_path(), moved);
    EXPECT_EQ(open.player->currentTime(), MediaTime::fromSeconds(1.0));
    EXPECT_EQ(readProjectFile(moved).style->cornerRadius, 9);  // saved before moving

    // A save while the folder moves lands in the new folder.
    bool done = false;
    open->rename("Moved", [&] { done = true; });
    open->setStyle(styleWithRadius(11));
    open.scheduler->advance(400ms);
    ASSERT_TRUE(processEventsUntil([&] { return done && !open->hasPendingSave(); }));
    EXPECT_EQ(readProjectFile(dir / "Moved").style->cornerRadius, 11);
    EXPECT_FALSE(std::filesystem::exists(moved));
    EXPECT_FALSE(open->errorMessage());
}

TEST_F(ProjectDocumentTest, RefusesAnExistingTargetAndWaitsForAnExport) {
    std::filesystem::create_directory(dir / "Taken");
    const auto open = loadDocument(folder);
    renameAndWait(open, "Taken");
    EXPECT_EQ(open->errorMessage(), "A recording named “Taken” already exists.");
    EXPECT_EQ(open->bundleURL(), folder);
    EXPECT_TRUE(std::filesystem::exists(folder / "screen.mov"));

    bool exported = false;
    open->exportTo(dir / "out.mp4", {}, [&] { exported = true; });
    ASSERT_TRUE(open->exportProgress());
    renameAndWait(open, "Elsewhere");
    EXPECT_EQ(open->bundleURL(), folder);
    EXPECT_FALSE(std::filesystem::exists(dir / "Elsewhere"));
    open->cancelExport();
    ASSERT_TRUE(processEventsUntil([&] { return exported; }));
}

// ---------------------------------------------------------------- export

// Files in `folder` other than the recording itself.
std::vector<std::string> otherFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != "Demo") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ProjectDocumentTest, WritesTheMovieReportsProgressAndRevealsItCancelsAndFailsCleanly) {
    const auto open = loadDocument(folder);
    std::vector<std::filesystem::path> revealed;
    QObject::connect(open.document.get(), &ProjectDocument::revealInFileViewer,
                     [&](const std::filesystem::path& file) { revealed.push_back(file); });

    const std::vector<double> progress = exportAndWait(open, dir / "out.mp4");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), 1.0);
    EXPECT_EQ(revealed, (std::vector<std::filesystem::path>{dir / "out.mp4"}));
    EXPECT_EQ(otherFiles(dir.path()), (std::vector<std::string>{"out.mp4"}));
    EXPECT_FALSE(open->exportProgress());
    EXPECT_EQ(open->exportSession(), nullptr);
    EXPECT_FALSE(open->errorMessage());
    EXPECT_EQ(open.scheduler->pendingCount(), 0u);  // the progress timer stopped

    // Cancelled while set up or while running: no file, no message.
    bool done = false;
    open->exportTo(dir / "new.mp4", {}, [&] { done = true; });
    EXPECT_EQ(open->exportProgress(), 0.0);
    open->cancelExport();
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
    EXPECT_FALSE(open->errorMessage());
    EXPECT_EQ(otherFiles(dir.path()), (std::vector<std::string>{"out.mp4"}));

    bool cancelled = false;
    exportAndWait(open, dir / "new.mp4", {}, [&] {
        if (!cancelled) {
            cancelled = true;
            open->cancelExport();
        }
    });
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(otherFiles(dir.path()), (std::vector<std::string>{"out.mp4"}));
    EXPECT_FALSE(open->errorMessage());
    EXPECT_FALSE(open->exportProgress());
    EXPECT_EQ(open->exportSession(), nullptr);

    // Failures keep the file already there and are reported.
    exportAndWait(open, dir / "no such folder" / "out.mp4");
    ASSERT_TRUE(open->errorMessage());
    EXPECT_TRUE(open->errorMessage()->starts_with("Export failed: ")) << *open->errorMessage();

    testing::writeText(dir / "out.mp4", "an older export");
    std::filesystem::remove(folder / "screen.mov");  // the export cannot read it any more
    exportAndWait(open, dir / "out.mp4");
    ASSERT_TRUE(open->errorMessage());
    EXPECT_TRUE(open->errorMessage()->starts_with("Export failed: ")) << *open->errorMessage();
    EXPECT_NE(open->errorMessage()->find("screen.mov"), std::string::npos);
    EXPECT_EQ(readText(dir / "out.mp4"), "an older export");
    EXPECT_EQ(otherFiles(dir.path()), (std::vector<std::string>{"out.mp4"}));
    EXPECT_FALSE(open->exportProgress());
}

}  // namespace
}  // namespace zarvex
