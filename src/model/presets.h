#pragma once

#include <filesystem>
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
    // `folder` is the application's data folder ("…/Zarvex"); it is created on
    // load and before every write.
    explicit PresetLibrary(std::filesystem::path folder);

    void load();
    const std::vector<StylePreset>& presets() const { return presets_; }

    // Replaces every preset with exactly this name (case-sensitive, canonical
    // equivalence), appends the new one, sorts by the locale's case-insensitive
    // order (stable) and writes the file.
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
    std::vector<StylePreset> presets_;
    bool keepUnreadableFile_ = false;
};

}  // namespace zarvex
