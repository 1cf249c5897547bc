#include "app/recent_recordings.h"

#include <QPointer>

#include "app/menu_content.h"
#include "capture/recordings_directory.h"
#include "flow/awaitables.h"

namespace zarvex {
namespace {

// Changes come in bursts (a folder made, then its files): read once after them.
constexpr int kSettleMs = 300;

}  // namespace

RecentRecordings::RecentRecordings(std::function<std::filesystem::path()> directory,
                                   QObject* parent)
    : QObject(parent), directory_(std::move(directory)) {
    debounce_.setSingleShot(true);
    debounce_.setInterval(kSettleMs);
    connect(&debounce_, &QTimer::timeout, this, [this] { read(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { refresh(); });
    read();
}

void RecentRecordings::refresh() {
    debounce_.start();
}

QCoro::Task<void> RecentRecordings::read() {
    if (reading_) {
        again_ = true;
        co_return;
    }
    reading_ = true;
    do {
        again_ = false;
        const std::filesystem::path directory = directory_();
        const QString watched = QString::fromStdString(directory.string());
        if (!watcher_.directories().contains(watched)) {
            if (!watcher_.directories().isEmpty()) {
                watcher_.removePaths(watcher_.directories());
            }
            watcher_.addPath(watched);  // fails quietly while the folder does not exist
        }
        const QPointer<RecentRecordings> self(this);
        auto recent = co_await onQueue(
            queue_, [&directory] { return recentRecordings(directory, kRecentRecordingsShown); });
        if (!self) {
            co_return;  // destroyed while the folder was read
        }
        if (recent != list_) {
            list_ = std::move(recent);
            emit changed();
        }
    } while (again_);
    reading_ = false;
}

}  // namespace zarvex
