#include "render/project_document.h"

#include <QPointer>

#include <cmath>
#include <mutex>
#include <system_error>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "media/recorder_error.h"
#include "model/file_io.h"
#include "model/preset_store.h"
#include "model/settings_store.h"
#include "render/export_naming.h"
#include "render/geometry.h"
#include "render/off_main_thread.h"
#include "render/qt_main_thread.h"
#include "render/qt_playback.h"
#include "render/qt_task_scheduler.h"

namespace zarvex {
namespace {

constexpr std::chrono::milliseconds kSaveDelay{400};
constexpr std::chrono::milliseconds kProgressInterval{200};

// The folder itself, also when given with a trailing separator.
std::filesystem::path folderPath(std::filesystem::path path) {
    if (!path.empty() && path.filename().empty()) {
        path = path.parent_path();
    }
    return path;
}

bool isBlank(UChar32 c) {
    return u_isUWhiteSpace(c);
}

// The background the player draws for a style, as a one-entry cache; empty
// when memory runs out.
BackgroundCache drawnBackground(const StyleSettings& style, Size screenSize) {
    BackgroundCache cache;
    try {
        cache.background(style.background, canvasSize(style.aspect, screenSize));
    } catch (const std::bad_alloc&) {
        cache.clear();
    }
    return cache;
}

bool cacheHolds(const BackgroundCache& cache, const std::string& key) {
    return cache.entry() && cache.entry()->first == key;
}

}  // namespace

struct ProjectDocument::SavedFolder {
    std::filesystem::path get() const {
        std::lock_guard lock(mutex);
        return path;
    }
    void set(std::filesystem::path to) {
        std::lock_guard lock(mutex);
        path = std::move(to);
    }
    mutable std::mutex mutex;
    std::filesystem::path path;
};

std::string sanitizedRecordingName(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::int32_t begin = 0;
    while (begin < length) {
        std::int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (!isBlank(c)) {
            break;
        }
        begin = next;
    }
    std::int32_t end = length;
    while (end > begin) {
        std::int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, begin, previous, c);
        if (!isBlank(c)) {
            break;
        }
        end = previous;
    }
    std::string name(text.substr(std::size_t(begin), std::size_t(end - begin)));
    for (char& c : name) {
        if (c == '/' || c == ':') {
            c = '-';
        }
    }
    return name;
}

std::string storedExportPattern() {
    return storedExportPattern(userPreferences());
}

struct ProjectDocument::LoadOutcome {
    std::shared_ptr<ProjectTimeline> timeline;
    std::string error;
    BackgroundCache background;
};

struct ProjectDocument::RenameOutcome {
    enum class Kind { moved, targetExists, moveFailed };
    Kind kind = Kind::moved;
    std::optional<std::string> saveError;
    std::string moveError;
};

ProjectDocument::ProjectDocument(std::filesystem::path bundleURL, Services services,
                                 QObject* parent)
    : QObject(parent),
      bundleURL_(folderPath(std::move(bundleURL))),
      player_(std::move(services.player)),
      scheduler_(std::move(services.scheduler)),
      savedFolder_(std::make_shared<SavedFolder>()) {
    writer_.setMaxThreadCount(1);
    savedFolder_->set(bundleURL_);
    if (!scheduler_) {
        scheduler_ = std::make_shared<QtTaskScheduler>();
    }
    if (!player_) {
        player_ = makeQtPlaybackEngine(scheduler_);
    }
    meta_ = readProjectFile(bundleURL_);
    zoom_ = meta_.zoom;
    // A player that fails stops (its rate observers hear of it): say why.
    player_->addRateObserver([this](double rate) {
        if (std::optional<std::string> error = player_->error(); rate == 0 && error) {
            setErrorMessage("Playback failed: " + *error);
        }
    });
    if (meta_.style) {
        style_ = *meta_.style;
    } else if (services.styleForNewRecording) {
        style_ = services.styleForNewRecording();
    } else {
        style_ = PresetStore::shared().styleForNewRecording();
    }
}

ProjectDocument::~ProjectDocument() {
    // An export still running is stopped and joined elsewhere; what it
    // reports finds the document gone.
    if (exportSession_) {
        exportSession_->cancelExport();
        retireOffMainThread([session = std::move(exportSession_)] {});
    }
    writer_.waitForDone();
    // An edit still waiting for its debounced save is written now rather than
    // lost with the document; there is nobody left to report a failure to.
    if (saveTask_ && !readOnly_) {
        saveTask_.reset();
        try {
            writeProjectFile(savedFolder_->get(), projectToSave());
        } catch (const std::exception&) {
        }
    }
}

void ProjectDocument::setStyle(const StyleSettings& style) {
    if (style == style_) {
        return;
    }
    style_ = style;
    emit styleChanged();
    applyStyleToPlayer();
    scheduleSave();
}

void ProjectDocument::setTrimStart(std::optional<double> seconds) {
    changeTrim(trimStart_, seconds);
}

void ProjectDocument::setTrimEnd(std::optional<double> seconds) {
    changeTrim(trimEnd_, seconds);
}

void ProjectDocument::changeTrim(std::optional<double>& field, std::optional<double> seconds) {
    if (seconds == field) {
        return;
    }
    field = seconds;
    emit trimChanged();
    applyTrim();
    scheduleSave();
}

void ProjectDocument::setZoom(const ZoomSettings& zoom) {
    ZoomSettings mended = zoom;
    if (mended.segments) {
        // Before loading, the duration is not known yet.
        mended.segments = composition_
                              ? mendedSegments(std::move(*mended.segments), duration_.seconds())
                              : mendedSegments(std::move(*mended.segments));
    }
    if (mended == zoom_) {
        return;
    }
    zoom_ = std::move(mended);
    emit zoomChanged();
    applyStyleToPlayer();
    scheduleSave();
}

void ProjectDocument::setExportRequested(bool requested) {
    if (requested != exportRequested_) {
        exportRequested_ = requested;
        emit exportRequestedChanged();
    }
}

void ProjectDocument::setErrorMessage(std::optional<std::string> message) {
    if (message != errorMessage_) {
        errorMessage_ = std::move(message);
        emit errorMessageChanged();
    }
}

void ProjectDocument::setLoaded(bool loaded) {
    if (loaded != isLoaded_) {
        isLoaded_ = loaded;
        emit isLoadedChanged();
    }
}

void ProjectDocument::setExportProgress(std::optional<double> progress) {
    if (progress != exportProgress_) {
        exportProgress_ = progress;
        emit exportProgressChanged();
    }
}

std::pair<double, double> ProjectDocument::trimRange() const {
    const double seconds = duration_.seconds();
    return {trimStart_.value_or(0), trimEnd_.value_or(std::isfinite(seconds) ? seconds : 0)};
}

std::vector<double> ProjectDocument::clickTimes() const {
    std::vector<double> times;
    times.reserve(clicks_.size());
    for (const RecordedClick& click : clicks_) {
        times.push_back(click.t);
    }
    return times;
}

void ProjectDocument::load(std::function<void()> completion) {
    const int generation = ++loadGeneration_;
    runOffMainThread<LoadOutcome>(
        this,
        [folder = bundleURL_, meta = meta_, style = style_] {
            LoadOutcome outcome;
            try {
                outcome.timeline =
                    std::make_shared<ProjectTimeline>(buildProjectTimeline(folder, meta));
                // The first frame's background is drawn here too, not on the main thread.
                outcome.background = drawnBackground(style, outcome.timeline->screenSize);
            } catch (const std::bad_alloc&) {
                outcome.error = "Not enough memory to open the recording.";
            } catch (const std::exception& error) {
                outcome.error = error.what();
            }
            return outcome;
        },
        [this, generation, completion = std::move(completion)](const LoadOutcome& outcome) mutable {
            if (generation == loadGeneration_) {
                finishLoad(outcome, std::move(completion));
            }
        });
}

void ProjectDocument::finishLoad(const LoadOutcome& outcome, std::function<void()> completion) {
    const auto done = [&] {
        if (completion) {
            completion();
        }
    };
    if (!outcome.timeline) {
        setErrorMessage(outcome.error);
        done();
        return;
    }
    const ProjectTimeline& timeline = *outcome.timeline;
    composition_ = std::make_shared<const Composition>(timeline.composition);
    screenTrackID_ = timeline.screenTrackID;
    webcamTrackID_ = timeline.webcamTrackID;
    screenSize_ = timeline.screenSize;
    duration_ = timeline.duration;
    clicks_ = timeline.clicks;
    prepareZoom();
    if (outcome.background.entry()) {
        backgroundCache_ = outcome.background;
    }

    auto item = std::make_shared<PlayerItem>();
    item->asset = composition_;
    try {
        item->videoComposition = makeVideoComposition(1.0);
    } catch (const std::bad_alloc&) {
        setErrorMessage("Not enough memory to show the recording.");
        done();
        return;
    }
    player_->replaceCurrentItem(std::move(item));
    QPointer<ProjectDocument> self(this);
    player_->seek(MediaTime::zero(), [self, completion = std::move(completion)](bool) {
        if (!self) {
            return;
        }
        self->setTrimStart(self->meta_.trimStart);
        self->setTrimEnd(self->meta_.trimEnd);
        self->applyTrim();
        self->setLoaded(true);
        if (completion) {
            completion();
        }
    });
}

VideoCompositionSource ProjectDocument::videoCompositionSource() const {
    VideoCompositionSource source;
    source.style = style_;
    source.screenSize = screenSize_;
    source.screenTrackID = screenTrackID_;
    source.webcamTrackID = webcamTrackID_;
    source.duration = duration_;
    source.clicks = clicks_;
    if (zoom_ && zoom_->segments) {
        source.zoom = *zoom_->segments;
    }
    return source;
}

std::shared_ptr<const VideoComposition> ProjectDocument::makeVideoComposition(double scale) {
    return std::make_shared<const VideoComposition>(
        makeStyledVideoComposition(videoCompositionSource(), scale, backgroundCache_));
}

// Automatic zoom without segments gets them from the clicks now; they are
// stored by the next save (a read-only document never writes them).
void ProjectDocument::prepareZoom() {
    if (!zoom_) {
        return;
    }
    const double seconds = duration_.seconds();
    if (zoom_->segments) {
        zoom_->segments = mendedSegments(std::move(*zoom_->segments), seconds);
    } else if (zoom_->autoZoom) {
        zoom_->segments = segmentsFromClicks(clicks_, seconds);
    }
    emit zoomChanged();
}

bool ProjectDocument::isStyleApplied() const {
    const Size canvas = canvasSize(style_.aspect, screenSize_);
    return !isLoaded_ ||
           cacheHolds(backgroundCache_, backgroundCacheKey(style_.background, canvas));
}

void ProjectDocument::applyStyleToPlayer() {
    if (!isLoaded_) {
        return;
    }
    if (!isStyleApplied()) {
        drawBackgroundForPlayer();
        return;
    }
    try {
        player_->setVideoComposition(makeVideoComposition(1.0));
    } catch (const std::bad_alloc&) {
        return;  // the player keeps drawing the previous style
    }
    if (player_->rate() == 0) {
        player_->seek(player_->currentTime());
    }
}

// One background is drawn at a time; when it lands the then current style is
// applied, which draws again only when the style has moved on meanwhile.
void ProjectDocument::drawBackgroundForPlayer() {
    if (backgroundDrawing_) {
        return;
    }
    backgroundDrawing_ = true;
    runOffMainThread<BackgroundCache>(
        this,
        [style = style_, screenSize = screenSize_] { return drawnBackground(style, screenSize); },
        [this](const BackgroundCache& drawn) {
            backgroundDrawing_ = false;
            if (!drawn.entry()) {
                return;  // out of memory: the player keeps drawing the previous style
            }
            backgroundCache_ = drawn;
            applyStyleToPlayer();
        });
}

void ProjectDocument::applyTrim() {
    player_->setForwardPlaybackEndTime(trimEnd_ ? MediaTime::fromSeconds(*trimEnd_)
                                                : MediaTime::invalid());
}

void ProjectDocument::scheduleSave() {
    saveTask_.reset();
    if (readOnly_) {
        return;
    }
    saveTask_ = scheduler_->schedule(kSaveDelay, [this] {
        saveTask_.reset();
        save();
    });
}

ProjectMeta ProjectDocument::projectToSave() {
    meta_.style = style_;
    meta_.trimStart = trimStart_;
    meta_.trimEnd = trimEnd_;
    meta_.zoom = zoom_;
    return meta_;
}

void ProjectDocument::saveNow() {
    saveTask_.reset();
    if (readOnly_) {
        return;
    }
    writer_.waitForDone();
    try {
        writeProjectFile(savedFolder_->get(), projectToSave());
    } catch (const std::exception& error) {
        setErrorMessage(std::string("Could not save style: ") + error.what());
    }
}

void ProjectDocument::save(std::function<void()> completion) {
    saveTask_.reset();
    if (readOnly_) {
        if (completion) {
            completion();
        }
        return;
    }
    ++writesInFlight_;
    runOffMainThread<std::optional<std::string>>(
        this, writer_,
        [folder = savedFolder_, meta = projectToSave()]() -> std::optional<std::string> {
            try {
                writeProjectFile(folder->get(), meta);
                return std::nullopt;
            } catch (const std::exception& error) {
                return std::string("Could not save style: ") + error.what();
            }
        },
        [this, completion = std::move(completion)](const std::optional<std::string>& error) {
            --writesInFlight_;
            if (error) {
                setErrorMessage(*error);
            }
            if (completion) {
                completion();
            }
        });
}

void ProjectDocument::rename(std::string_view to, std::function<void()> completion) {
    const std::string name = sanitizedRecordingName(to);
    if (name.empty() || name == bundleURL_.filename().string() || exportProgress_ || renaming_) {
        if (completion) {
            completion();
        }
        return;
    }
    renaming_ = true;
    // The save before the move is part of the rename; no debounced one follows it.
    saveTask_.reset();
    const std::filesystem::path newURL = bundleURL_.parent_path() / name;
    std::optional<ProjectMeta> toSave;
    if (!readOnly_) {
        toSave = projectToSave();
    }
    runOffMainThread<RenameOutcome>(
        this, writer_,
        [folder = savedFolder_, newURL, toSave] {
            RenameOutcome outcome;
            std::error_code statusError;
            if (std::filesystem::exists(std::filesystem::symlink_status(newURL, statusError))) {
                outcome.kind = RenameOutcome::Kind::targetExists;
                return outcome;
            }
            const std::filesystem::path oldURL = folder->get();
            if (toSave) {
                try {
                    writeProjectFile(oldURL, *toSave);
                } catch (const std::exception& error) {
                    outcome.saveError = std::string("Could not save style: ") + error.what();
                }
            }
            std::error_code moveError;
            std::filesystem::rename(oldURL, newURL, moveError);
            if (moveError) {
                outcome.kind = RenameOutcome::Kind::moveFailed;
                outcome.moveError = moveError.message();
            } else {
                folder->set(newURL);
            }
            return outcome;
        },
        [this, name, newURL,
         completion = std::move(completion)](const RenameOutcome& outcome) mutable {
            renaming_ = false;
            if (outcome.saveError) {
                setErrorMessage(*outcome.saveError);
            }
            switch (outcome.kind) {
                case RenameOutcome::Kind::targetExists:
                    setErrorMessage("A recording named “" + name + "” already exists.");
                    break;
                case RenameOutcome::Kind::moveFailed:
                    setErrorMessage("Couldn't rename: " + outcome.moveError);
                    break;
                case RenameOutcome::Kind::moved:
                    finishRename(newURL, std::move(completion));
                    return;
            }
            if (completion) {
                completion();
            }
        });
}

void ProjectDocument::finishRename(const std::filesystem::path& newURL,
                                   std::function<void()> completion) {
    const std::filesystem::path oldURL = bundleURL_;
    bundleURL_ = newURL;
    emit bundleURLChanged();
    if (onRenamed) {
        onRenamed(oldURL, newURL);
    }
    const MediaTime remembered = player_->currentTime();
    setLoaded(false);
    webcamTrackID_.reset();
    backgroundCache_.clear();
    QPointer<ProjectDocument> self(this);
    load([self, remembered, completion = std::move(completion)] {
        if (!self) {
            return;
        }
        self->player_->seek(remembered);
        if (completion) {
            completion();
        }
    });
}

struct ProjectDocument::ExportSetup {
    std::shared_ptr<const VideoComposition> videoComposition;
    std::optional<std::string> error;
};

void ProjectDocument::exportTo(const std::filesystem::path& url, const ExportOptions& options,
                               std::function<void()> completion) {
    const auto done = [&] {
        if (completion) {
            completion();
        }
    };
    if (exportSession_ || exportPreparing_) {
        done();
        return;
    }
    setExportProgress(0.0);
    progressTimer_ = scheduler_->scheduleRepeating(kProgressInterval, [this] {
        if (exportSession_) {
            setExportProgress(double(exportSession_->progress()));
        }
    });
    std::shared_ptr<ExportSession> session =
        ExportSession::create(composition_, exportPresetFor(options.codec));
    if (!session) {
        failExport(RecorderError::writerFailed("Could not create export session.").what(), 0);
        done();
        return;
    }
    // The frames at the export's scale need their own background: drawn (or
    // decoded, for an image) on a worker.
    const double scale = exportScale(options.resolution, canvasSize(style_.aspect, screenSize_));
    exportPreparing_ = true;
    exportCancelRequested_ = false;
    runOffMainThread<ExportSetup>(
        this,
        [source = videoCompositionSource(), scale, cache = backgroundCache_]() mutable {
            ExportSetup setup;
            try {
                setup.videoComposition = std::make_shared<const VideoComposition>(
                    makeStyledVideoComposition(source, scale, cache));
            } catch (const std::bad_alloc&) {
                setup.error = "Not enough memory to export.";
            }
            return setup;
        },
        [this, url, session, completion = std::move(completion)](const ExportSetup& setup) mutable {
            exportPreparing_ = false;
            if (exportCancelRequested_) {
                failExport({}, kExportCancelledCode);
            } else if (setup.error) {
                failExport(*setup.error, 0);
            } else {
                exportSession_ = session;
                startExport(url, *session, setup, std::move(completion));
                return;
            }
            if (completion) {
                completion();
            }
        });
}

void ProjectDocument::startExport(const std::filesystem::path& url, ExportSession& session,
                                  const ExportSetup& setup, std::function<void()> completion) {
    session.setOutputURL(url);
    session.setOutputFileType(MovieFileType::mpeg4);
    session.setVideoComposition(setup.videoComposition);
    const auto [start, end] = trimRange();
    const double seconds = duration_.seconds();
    if (start > 0 || end < (std::isfinite(seconds) ? seconds : 0)) {
        session.setTimeRange({MediaTime::fromSeconds(start), MediaTime::fromSeconds(end)});
    }
    // The session ends on its own thread; the outcome is taken on this one,
    // while the document lives.
    session.exportAsynchronously([post = qtMainThreadPoster(), self = QPointer(this), url,
                                  completion = std::move(completion)]() mutable {
        post([self, url, completion = std::move(completion)]() mutable {
            if (self) {
                self->finishExport(url, std::move(completion));
            }
        });
    });
}

void ProjectDocument::cancelExport() {
    if (exportSession_) {
        exportSession_->cancelExport();
    } else if (exportPreparing_) {
        exportCancelRequested_ = true;
    }
}

void ProjectDocument::finishExport(const std::filesystem::path& url,
                                   std::function<void()> completion) {
    if (!exportSession_) {
        return;
    }
    if (exportSession_->status() == ExportSession::Status::completed) {
        emit revealInFileViewer(url);
        progressTimer_.reset();
        setExportProgress(std::nullopt);
        exportSession_.reset();
        emit exportEnded(ExportOutcome::completed);
    } else if (const std::optional<ExportError> error = exportSession_->error()) {
        failExport(error->description, error->code);
    } else {
        failExport(RecorderError::writerFailed("Export did not complete.").what(), 0);
    }
    if (completion) {
        completion();
    }
}

void ProjectDocument::failExport(const std::string& description, int code) {
    if (code != kExportCancelledCode) {
        setErrorMessage("Export failed: " + description);
    }
    progressTimer_.reset();
    setExportProgress(std::nullopt);
    exportSession_.reset();
    emit exportEnded(code == kExportCancelledCode ? ExportOutcome::cancelled
                                                  : ExportOutcome::failed);
}

}  // namespace zarvex
