#pragma once

#include <QObject>
#include <QThreadPool>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/project.h"
#include "model/style.h"
#include "render/composition.h"
#include "render/export_session.h"
#include "render/player.h"
#include "render/task_scheduler.h"
#include "render/video_composition.h"

namespace zarvex {

// The open recording behind one editor window: its timeline, style and trim,
// the styled player, saving, renaming and export. Main thread only, and
// nothing slow runs on it: loading reads the movies, drawing a new background
// (an image file is decoded for it), the debounced save, the rename's move and
// the export's set-up run on worker threads, and the export on its own; all
// deliver their results back to the main thread. Every change of a published
// value is announced by its signal.
class ProjectDocument : public QObject {
    Q_OBJECT
  public:
    using ExportOptions = zarvex::ExportOptions;
    enum class ExportOutcome { completed, cancelled, failed };

    // What the document works with; anything left empty gets the real one
    // (the playback engine, Qt timers, the "Default" preset's style).
    struct Services {
        std::unique_ptr<Player> player;
        std::shared_ptr<TaskScheduler> scheduler;
        std::function<StyleSettings()> styleForNewRecording;
    };

    // Reads and decodes the folder's project.json; throws FileError or
    // DecodeError when it cannot (shown as "Could not open recording: " + what()).
    explicit ProjectDocument(std::filesystem::path bundleURL, Services services = {},
                             QObject* parent = nullptr);
    // Ends without waiting for threads: a running export is stopped, and the
    // player taken apart, on other threads. An edit not yet saved is written
    // first (save() beforehand keeps that write off the main thread too).
    ~ProjectDocument() override;

    // Published state.
    const std::filesystem::path& bundleURL() const { return bundleURL_; }
    const StyleSettings& style() const { return style_; }
    bool isLoaded() const { return isLoaded_; }
    bool exportRequested() const { return exportRequested_; }
    std::optional<double> exportProgress() const { return exportProgress_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    std::optional<double> trimStart() const { return trimStart_; }
    std::optional<double> trimEnd() const { return trimEnd_; }
    // Zoom on clicks; absent for a project that has none.
    const std::optional<ZoomSettings>& zoom() const { return zoom_; }

    // Equal values change nothing. A new style reaches the player at once (the
    // still frame is redrawn while paused), or, when its background must be
    // drawn first, as soon as a worker has drawn it; during a burst of such
    // edits only the latest style is drawn. Like a trim change, it is saved
    // 400 ms after the last edit.
    void setStyle(const StyleSettings& style);
    void setTrimStart(std::optional<double> seconds);
    void setTrimEnd(std::optional<double> seconds);
    // Like a style edit: redrawn at once, saved 400 ms after the last edit.
    // The segments are mended for the recording's duration first.
    void setZoom(const ZoomSettings& zoom);
    void setExportRequested(bool requested);
    void setErrorMessage(std::optional<std::string> message);

    // Other state.
    Player& player() { return *player_; }
    const ProjectMeta& meta() const { return meta_; }
    std::shared_ptr<const Composition> composition() const { return composition_; }
    TrackID screenTrackID() const { return screenTrackID_; }
    std::optional<TrackID> webcamTrackID() const { return webcamTrackID_; }
    Size screenSize() const { return screenSize_; }
    MediaTime duration() const { return duration_; }
    const std::vector<RecordedClick>& clicks() const { return clicks_; }
    const BackgroundCache& backgroundCache() const { return backgroundCache_; }
    ExportSession* exportSession() const { return exportSession_.get(); }
    // A save is scheduled or being written.
    bool hasPendingSave() const { return saveTask_ != nullptr || writesInFlight_ > 0; }
    // The player draws the current style (false while its new background is
    // still being drawn off the main thread).
    bool isStyleApplied() const;

    // (trimStart or 0, trimEnd or the duration); a duration that is not a
    // finite number of seconds gives the end 0.
    std::pair<double, double> trimRange() const;
    std::vector<double> clickTimes() const;

    // Called after a successful rename with the old and the new folder.
    std::function<void(const std::filesystem::path&, const std::filesystem::path&)> onRenamed;

    // Builds the timeline (movies are read on a worker thread), gives the
    // player the styled composition at time zero, applies the stored trim and
    // sets isLoaded. Failures land in errorMessage. `completion` runs on the
    // main thread when done, either way (not when a newer load supersedes it).
    void load(std::function<void()> completion = {});

    // The video composition at `scale`: 1.0 for the player, the export's scale
    // for export (render size and the style's lengths scaled).
    std::shared_ptr<const VideoComposition> makeVideoComposition(double scale);

    // Writes style and trim into project.json now (replacing it atomically),
    // after any save still being written; nothing for a read-only document.
    void saveNow();
    // The same on a worker thread, in order with every other write of the
    // document; a failure lands in errorMessage. `completion` runs on the
    // main thread once the file is written (or the write failed).
    void save(std::function<void()> completion = {});
    // A read-only document never writes project.json (saves are skipped): for
    // commands that only read a recording, such as an export from the command line.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Renames the recording folder: the name is trimmed, "/" and ":" become
    // "-"; blank names, the current name and renames during an export are
    // ignored; an existing target is refused with a message. The save and the
    // move run on a worker thread; the document then reloads from the new
    // place and returns to the same time. `completion` runs on the main thread
    // when done, either way.
    void rename(std::string_view to, std::function<void()> completion = {});

    // Exports to `url` with `options`; the outcome shows in exportProgress,
    // errorMessage and revealInFileViewer. The export's frames are set up on a
    // worker thread (exportProgress is 0 meanwhile). `completion` runs on the
    // main thread when the export has ended. Ignored while an export runs.
    void exportTo(const std::filesystem::path& url, const ExportOptions& options,
                  std::function<void()> completion = {});
    // Asks the running export (or one being set up) to stop; it ends without
    // a message.
    void cancelExport();

  signals:
    void bundleURLChanged();
    void styleChanged();
    void isLoadedChanged();
    void exportRequestedChanged();
    void exportProgressChanged();
    void errorMessageChanged();
    void trimChanged();
    void zoomChanged();
    // An export finished: show this file in the file viewer.
    void revealInFileViewer(const std::filesystem::path& file);
    // An export ended (after exportProgress went back to nothing).
    void exportEnded(ExportOutcome outcome);

  private:
    // The project file as it is to be written: the stored one with the current style and trim.
    ProjectMeta projectToSave();
    // Where the folder is for the writes: a rename moves it on the writer
    // thread, before the main thread hears of it.
    struct SavedFolder;
    struct LoadOutcome;
    struct RenameOutcome;
    void finishRename(const std::filesystem::path& newURL, std::function<void()> completion);
    void drawBackgroundForPlayer();
    struct ExportSetup;
    void startExport(const std::filesystem::path& url, ExportSession& session,
                     const ExportSetup& setup, std::function<void()> completion);
    void finishLoad(const LoadOutcome& outcome, std::function<void()> completion);
    void setLoaded(bool loaded);
    VideoCompositionSource videoCompositionSource() const;
    void setExportProgress(std::optional<double> progress);
    void applyStyleToPlayer();
    void prepareZoom();
    void changeTrim(std::optional<double>& field, std::optional<double> seconds);
    void applyTrim();
    void scheduleSave();
    void finishExport(const std::filesystem::path& url, std::function<void()> completion);
    void failExport(const std::string& description, int code);

    std::filesystem::path bundleURL_;
    StyleSettings style_;
    bool isLoaded_ = false;
    bool exportRequested_ = false;
    std::optional<double> exportProgress_;
    std::optional<std::string> errorMessage_;
    std::optional<double> trimStart_;
    std::optional<double> trimEnd_;
    std::optional<ZoomSettings> zoom_;

    std::unique_ptr<Player> player_;
    std::shared_ptr<TaskScheduler> scheduler_;
    ProjectMeta meta_;
    std::shared_ptr<const Composition> composition_;
    TrackID screenTrackID_ = kInvalidTrackID;
    std::optional<TrackID> webcamTrackID_;
    Size screenSize_;
    MediaTime duration_ = MediaTime::zero();
    std::vector<RecordedClick> clicks_;
    BackgroundCache backgroundCache_;
    std::unique_ptr<ScheduledTask> saveTask_;
    std::unique_ptr<ScheduledTask> progressTimer_;
    std::shared_ptr<ExportSession> exportSession_;
    int loadGeneration_ = 0;
    bool readOnly_ = false;
    bool backgroundDrawing_ = false;
    bool renaming_ = false;
    bool exportPreparing_ = false;
    bool exportCancelRequested_ = false;
    int writesInFlight_ = 0;
    std::shared_ptr<SavedFolder> savedFolder_;
    // Runs the document's file writes (saves, the rename) one after another.
    QThreadPool writer_;
};

// The recording name a rename asks for: blanks and line breaks trimmed from
// both ends, every "/" and ":" replaced by "-".
std::string sanitizedRecordingName(std::string_view text);

// The export file-name pattern stored in the user's preferences.
std::string storedExportPattern();

}  // namespace zarvex
