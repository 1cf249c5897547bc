#include "render/project_document.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>

#include <cmath>
#include <system_error>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "capture/errors.h"
#include "model/file_io.h"
#include "model/preset_store.h"
#include "model/settings_store.h"
#include "render/export_naming.h"
#include "render/geometry.h"
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

}  // namespace

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
};

ProjectDocument::ProjectDocument(std::filesystem::path bundleURL, Services services,
                                 QObject* parent)
    : QObject(parent),
      bundleURL_(folderPath(std::move(bundleURL))),
      player_(std::move(services.player)),
      scheduler_(std::move(services.scheduler)) {
    if (!scheduler_) {
        scheduler_ = std::make_shared<QtTaskScheduler>();
    }
    if (!player_) {
        player_ = makeQtPlaybackEngine(scheduler_);
    }
    meta_ = readProjectFile(bundleURL_);
    if (meta_.style) {
        style_ = *meta_.style;
    } else if (services.styleForNewRecording) {
        style_ = services.styleForNewRecording();
    } else {
        style_ = PresetStore::shared().styleForNewRecording();
    }
}

ProjectDocument::~ProjectDocument() {
    // Stops and joins the export before anything it reports to goes away.
    exportSession_.reset();
    // An edit still waiting for its debounced save is written now rather than
    // lost with the document; there is nobody left to report a failure to.
    if (saveTask_) {
        saveTask_.reset();
        try {
            writeProjectFile(bundleURL_, projectToSave());
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
    auto promise = std::make_shared<QPromise<LoadOutcome>>();
    auto* watcher = new QFutureWatcher<LoadOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation, completion = std::move(completion)]() mutable {
                watcher->deleteLater();
                if (generation != loadGeneration_ || watcher->future().resultCount() == 0) {
                    return;
                }
                finishLoad(watcher->future().result(), std::move(completion));
            });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, folder = bundleURL_, meta = meta_] {
        promise->start();
        LoadOutcome outcome;
        try {
            outcome.timeline =
                std::make_shared<ProjectTimeline>(buildProjectTimeline(folder, meta));
        } catch (const std::bad_alloc&) {
            outcome.error = "Not enough memory to open the recording.";
        } catch (const std::exception& error) {
            outcome.error = error.what();
        }
        promise->addResult(std::move(outcome));
        promise->finish();
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

std::shared_ptr<const VideoComposition> ProjectDocument::makeVideoComposition(double scale) {
    VideoCompositionSource source;
    source.style = style_;
    source.screenSize = screenSize_;
    source.screenTrackID = screenTrackID_;
    source.webcamTrackID = webcamTrackID_;
    source.duration = duration_;
    source.clicks = clicks_;
    return std::make_shared<const VideoComposition>(
        makeStyledVideoComposition(source, scale, backgroundCache_));
}

void ProjectDocument::applyStyleToPlayer() {
    if (!isLoaded_) {
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
        saveNow();
    });
}

ProjectMeta ProjectDocument::projectToSave() {
    meta_.style = style_;
    meta_.trimStart = trimStart_;
    meta_.trimEnd = trimEnd_;
    return meta_;
}

void ProjectDocument::saveNow() {
    saveTask_.reset();
    if (readOnly_) {
        return;
    }
    try {
        writeProjectFile(bundleURL_, projectToSave());
    } catch (const std::exception& error) {
        setErrorMessage(std::string("Could not save style: ") + error.what());
    }
}

void ProjectDocument::rename(std::string_view to, std::function<void()> completion) {
    const auto done = [&] {
        if (completion) {
            completion();
        }
    };
    const std::string name = sanitizedRecordingName(to);
    if (name.empty() || name == bundleURL_.filename().string() || exportProgress_) {
        done();
        return;
    }
    const std::filesystem::path newURL = bundleURL_.parent_path() / name;
    std::error_code statusError;
    if (std::filesystem::exists(std::filesystem::symlink_status(newURL, statusError))) {
        setErrorMessage("A recording named “" + name + "” already exists.");
        done();
        return;
    }
    saveNow();
    std::error_code moveError;
    std::filesystem::rename(bundleURL_, newURL, moveError);
    if (moveError) {
        setErrorMessage("Couldn't rename: " + moveError.message());
        done();
        return;
    }
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

void ProjectDocument::exportTo(const std::filesystem::path& url, const ExportOptions& options,
                               std::function<void()> completion) {
    if (exportSession_) {
        if (completion) {
            completion();
        }
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
        if (completion) {
            completion();
        }
        return;
    }
    const double scale = exportScale(options.resolution, canvasSize(style_.aspect, screenSize_));
    session->setOutputURL(url);
    session->setOutputFileType(MovieFileType::mpeg4);
    try {
        session->setVideoComposition(makeVideoComposition(scale));
    } catch (const std::bad_alloc&) {
        failExport("Not enough memory to export.", 0);
        if (completion) {
            completion();
        }
        return;
    }
    const auto [start, end] = trimRange();
    const double seconds = duration_.seconds();
    if (start > 0 || end < (std::isfinite(seconds) ? seconds : 0)) {
        session->setTimeRange({MediaTime::fromSeconds(start), MediaTime::fromSeconds(end)});
    }
    exportSession_ = session;
    // The session ends on its own thread; the outcome is taken on this one.
    session->exportAsynchronously([this, url, completion = std::move(completion)]() mutable {
        QMetaObject::invokeMethod(
            this,
            [this, url, completion = std::move(completion)]() mutable {
                exportEnded(url, std::move(completion));
            },
            Qt::QueuedConnection);
    });
}

void ProjectDocument::cancelExport() {
    if (exportSession_) {
        exportSession_->cancelExport();
    }
}

void ProjectDocument::exportEnded(const std::filesystem::path& url,
                                  std::function<void()> completion) {
    if (!exportSession_) {
        return;
    }
    if (exportSession_->status() == ExportSession::Status::completed) {
        emit revealInFileViewer(url);
        progressTimer_.reset();
        setExportProgress(std::nullopt);
        exportSession_.reset();
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
}

}  // namespace zarvex
