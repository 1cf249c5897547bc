#include "model/presets.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "model/file_io.h"
#include "model/text.h"

namespace zarvex {

std::string encodePresetsFile(const std::vector<StylePreset>& presets) {
    Json array = Json::array();
    for (const auto& preset : presets) {
        array.push_back(Json{{"name", preset.name}, {"style", toJson(preset.style)}});
    }
    return prettyJson(array);
}

std::vector<StylePreset> decodePresetsFile(std::string_view text) {
    const Json json = parseJson(text);
    std::vector<StylePreset> presets;
    for (const auto& item : JsonDecoder(json).array()) {
        presets.push_back(StylePreset{item["name"].string(), decodeStyle(item["style"])});
    }
    return presets;
}

PresetLibrary::PresetLibrary(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path PresetLibrary::filePath() const {
    return folder_ / kPresetsFileName;
}

std::filesystem::path PresetLibrary::locateFile() const {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    return filePath();
}

void PresetLibrary::load() {
    presets_.clear();
    keepUnreadableFile_ = false;
    const auto path = locateFile();
    std::string text;
    try {
        text = readFile(path);
    } catch (const FileError& error) {
        // A missing file is simply no presets; anything else is a file we must not lose.
        keepUnreadableFile_ = error.errorNumber() != ENOENT;
        return;
    }
    try {
        presets_ = decodePresetsFile(text);
    } catch (const DecodeError&) {
        keepUnreadableFile_ = true;
    }
}

void PresetLibrary::save(std::string_view name, const StyleSettings& style) {
    std::erase_if(presets_,
                  [&](const StylePreset& preset) { return canonicallyEqual(preset.name, name); });
    presets_.push_back(StylePreset{std::string(name), style});
    std::stable_sort(presets_.begin(), presets_.end(),
                     [](const StylePreset& a, const StylePreset& b) {
                         return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
                     });
    persist();
}

void PresetLibrary::deletePreset(std::string_view name) {
    std::erase_if(presets_,
                  [&](const StylePreset& preset) { return canonicallyEqual(preset.name, name); });
    persist();
}

StyleSettings PresetLibrary::styleForNewRecording() const {
    for (const auto& preset : presets_) {
        if (caseInsensitiveEqual(preset.name, kDefaultPresetName)) {
            return preset.style;
        }
    }
    return StyleSettings::defaultStyle();
}

void PresetLibrary::persist() {
    const auto path = locateFile();
    if (keepUnreadableFile_) {
        std::error_code error;
        std::filesystem::rename(path, folder_ / kUnreadablePresetsFileName, error);
        std::error_code ignored;
        if (error && std::filesystem::exists(path, ignored)) {
            return;  // never write over a file we could not set aside
        }
        keepUnreadableFile_ = false;
    }
    try {
        writeFileAtomically(path, encodePresetsFile(presets_));
    } catch (const std::exception&) {
        // Saving presets is best-effort; the list in memory keeps the change.
    }
}

}  // namespace zarvex
