#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <filesystem>
#include <memory>

#include "model/presets.h"

namespace zarvex {

// The application's preset list for the user interface: a thin observable
// wrapper over PresetLibrary. Main thread only. The list changes at once;
// the file is written on a thread of the store's own, in order, and every
// write has landed once the store is gone.
class PresetStore : public QObject {
    Q_OBJECT
  public:
    // Loads the presets file inside `folder` (created when missing).
    explicit PresetStore(std::filesystem::path folder, QObject* parent = nullptr);
    ~PresetStore() override;

    // The process-wide store over "<XDG data home>/Zarvex", created on first use.
    static PresetStore& shared();

    const std::vector<StylePreset>& presets() const { return library_.presets(); }
    void save(std::string_view name, const StyleSettings& style);
    void deletePreset(std::string_view name);
    StyleSettings styleForNewRecording() const { return library_.styleForNewRecording(); }

    // A change is still being written to the file.
    bool hasPendingWrites() const { return *pendingWrites_ > 0; }

  signals:
    void presetsChanged();

  private:
    QThreadPool writer_;
    std::shared_ptr<std::atomic<int>> pendingWrites_ = std::make_shared<std::atomic<int>>(0);
    PresetLibrary library_;
};

}  // namespace zarvex
