#pragma once

#include <QObject>
#include <filesystem>

#include "model/presets.h"

namespace zarvex {

// The application's preset list for the user interface: a thin observable
// wrapper over PresetLibrary. Main thread only.
class PresetStore : public QObject {
    Q_OBJECT
  public:
    // Loads the presets file inside `folder` (created when missing).
    explicit PresetStore(std::filesystem::path folder, QObject* parent = nullptr);

    // The process-wide store over "<XDG data home>/Zarvex", created on first use.
    static PresetStore& shared();

    const std::vector<StylePreset>& presets() const { return library_.presets(); }
    void save(std::string_view name, const StyleSettings& style);
    void deletePreset(std::string_view name);
    StyleSettings styleForNewRecording() const { return library_.styleForNewRecording(); }

  signals:
    void presetsChanged();

  private:
    PresetLibrary library_;
};

}  // namespace zarvex
