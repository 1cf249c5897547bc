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

PresetLibrary::PresetLibrary(std::filesystem::path folder, Writer writer)
    : folder_(std::move(folder)), writer_(std::move(writer)) {}

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
    *keepUnreadableFile_ = false;
    const auto path = locateFile();
    std::string text;
    try {
        text = readFile(path);
    } catch (const FileError& error) {
        // A missing file is simply no presets; anything else is a file we must not lose.
        *keepUnreadableFile_ = error.errorNumber() != ENOENT;
        return;
    }
    try {
        presets_ = decodePresetsFile(text);
    } catch (const DecodeError&) {
        *keepUnreadableFile_ = true;
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
    std::function<void()> write = [folder = folder_, path = filePath(),
                                   keepUnreadable = keepUnreadableFile_,
                                   text = encodePresetsFile(presets_)] {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        if (*keepUnreadable) {
            std::error_code error;
            std::filesystem::rename(path, folder / kUnreadablePresetsFileName, error);
            if (error && std::filesystem::exists(path, ignored)) {
                return;  // never write over a file we could not set aside
            }
            *keepUnreadable = false;
        }
        try {
            writeFileAtomically(path, text);
        } catch (const std::exception&) {
            // Saving presets is best-effort; the list in memory keeps the change.
        }
    };
    if (writer_) {
        writer_(std::move(write));
    } else {
        write();
    }
}

}  // namespace zarvex
