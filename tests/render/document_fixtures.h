#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "event_loop.h"
#include "manual_scheduler.h"
#include "render/project_document.h"
#include "still_frame_player.h"

// Opening project documents in tests: a QtCore application, a manual clock,
// a still-frame player, and waiting on the event loop without timing claims.
namespace zarvex::testing {

// A movie with one audio track and no video, where a screen movie should be.
void writeMovieWithoutVideo(const std::filesystem::path& path);

// The style documents get when their project file has none.
StyleSettings fallbackStyle();

struct OpenDocument {
    std::shared_ptr<ManualScheduler> scheduler;
    StillFramePlayer* player = nullptr;  // owned by the document
    std::unique_ptr<ProjectDocument> document;

    ProjectDocument* operator->() const { return document.get(); }
};

// Creates a document for `folder` (throws like the document does).
OpenDocument openDocument(const std::filesystem::path& folder);
// Creates and loads it; fails the test when loading does not finish.
OpenDocument loadDocument(const std::filesystem::path& folder);

// Exports and waits, moving the clock 200 ms per turn of the event loop so
// progress is sampled; calls `whileRunning` on each turn while the export
// runs. Returns the progress values seen.
std::vector<double> exportAndWait(const OpenDocument& open, const std::filesystem::path& to,
                                  const ExportOptions& options = {},
                                  const std::function<void()>& whileRunning = {});

}  // namespace zarvex::testing
