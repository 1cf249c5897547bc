#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "capture/serial_queue.h"

namespace zarvex {

// The newest recordings of the recordings folder for the "Open Recent" menu,
// read off the main thread whenever the folder changes (or refresh() is
// called) and announced when the list differs. Main thread only.
class RecentRecordings : public QObject {
    Q_OBJECT
  public:
    // `directory` is asked at each refresh: the folder may change.
    explicit RecentRecordings(std::function<std::filesystem::path()> directory,
                              QObject* parent = nullptr);

    const std::vector<std::filesystem::path>& list() const { return list_; }

    // Reads the folder again soon; requests made meanwhile are served by one read.
    void refresh();

  signals:
    void changed();

  private:
    QCoro::Task<void> read();

    std::function<std::filesystem::path()> directory_;
    std::vector<std::filesystem::path> list_;
    QFileSystemWatcher watcher_;
    QTimer debounce_;
    bool reading_ = false;
    bool again_ = false;
    SerialQueue queue_{"recents"};
};

}  // namespace zarvex
