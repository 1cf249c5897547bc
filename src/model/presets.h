#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/style.h"

namespace zarvex {

// A named, saved style. The name is its identity.
struct StylePreset {
    std::string name;
    StyleSettings style;
    bool operator==(const StylePreset&) const = default;
};

inline constexpr std::string_view kPresetsFileName = "presets.json";
inline constexpr std::string_view kUnreadablePresetsFileName = "presets.json.unreadable";
inline constexpr std::string_view kDefaultPresetName = "Default";

// presets.json: a pretty-printed JSON array of {"name", "style"} objects, keys sorted.
std::string encodePresetsFile(const std::vector<StylePreset>& presets);
std::vector<StylePreset> decodePresetsFile(std::string_view text);

// The preset list and its file, without any UI machinery. Persistence is
// best-effort: read or write failures are silent and the in-memory list keeps
// every change. A file that exists but cannot be read or decoded loads as an
// empty list and, before it is first written over, is moved aside to
// "presets.json.unreadable" so the user's presets can still be recovered.
class PresetLibrary {
  public:
    // Runs one write of the file; writes are handed over in order and must
    // run in that order, one at a time (on another thread, say).
    using Writer = std::function<void(std::function<void()> write)>;

    // `folder` is the application's data folder ("…/Zarvex"); it is created on
    // load and before every write. Without a writer, writes happen at once.
    explicit PresetLibrary(std::filesystem::path folder, Writer writer = {});

    void load();
    const std::vector<StylePreset>& presets() const { return presets_; }

    // Replaces every preset with exactly this name (case-sensitive, canonical
    // equivalence), appends the new one, sorts by the locale's case-insensitive
    // order (stable) and writes the file (through the writer).
    void save(std::string_view name, const StyleSettings& style);
    // Removes every preset with exactly this name and writes the file, also when
    // nothing was removed.
    void deletePreset(std::string_view name);

    // The style of the first preset named "Default" ignoring case, else the default style.
    StyleSettings styleForNewRecording() const;

    std::filesystem::path filePath() const;

  private:
    std::filesystem::path locateFile() const;
    void persist();

    std::filesystem::path folder_;
    Writer writer_;
    std::vector<StylePreset> presets_;
    // Whether the file on disk must be set aside before it is first written
    // over; read and changed by the writes.
    std::shared_ptr<std::atomic<bool>> keepUnreadableFile_ =
        std::make_shared<std::atomic<bool>>(false);
};

}  // namespace zarvex
