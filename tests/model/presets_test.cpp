#include "model/presets.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;
using Names = std::vector<std::string>;

StyleSettings styleWithPadding(double padding) {
    StyleSettings style;
    style.paddingFraction = padding;
    return style;
}

Names names(const PresetLibrary& library) {
    Names result;
    for (const auto& preset : library.presets()) {
        result.push_back(preset.name);
    }
    return result;
}

class PresetLibraryTest : public ::testing::Test {
  protected:
    TempDir home;
    std::filesystem::path folder = home / "Zarvex";
    std::filesystem::path file = folder / "presets.json";

    PresetLibrary loaded() {
        PresetLibrary library(folder);
        library.load();
        return library;
    }
};

TEST_F(PresetLibraryTest, SavingReplacesTheExactNameInOrderAndSetsAnUndecodableFileAside) {
    PresetLibrary library = loaded();
    // A missing folder is made; a missing file is no presets.
    EXPECT_TRUE(library.presets().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(file));
    library.save("gamma", {});
    library.save("beta", {});
    library.save("Alpha", {});
    EXPECT_EQ(names(library), (Names{"Alpha", "beta", "gamma"}));

    library.save("Clean", styleWithPadding(0.1));
    library.save("clean", styleWithPadding(0.2));
    EXPECT_EQ(names(library), (Names{"Alpha", "beta", "Clean", "clean", "gamma"}));
    // Saving "Clean" again replaces it and moves it after "clean": a stable
    // sort with the new one last among equals.
    library.save("Clean", styleWithPadding(0.4));
    EXPECT_EQ(names(library), (Names{"Alpha", "beta", "clean", "Clean", "gamma"}));
    EXPECT_EQ(library.presets()[3].style.paddingFraction, 0.4);
    // Precomposed é and e + combining acute are the same preset.
    library.save("Caf\xC3\xA9", styleWithPadding(0.5));
    library.save("Cafe\xCC\x81", styleWithPadding(0.6));
    EXPECT_EQ(library.presets().size(), 6u);

    // An undecodable file is set aside before the first write.
    std::filesystem::create_directories(folder);
    Json broken = parseJson(encodePresetsFile({{"Mine", styleWithPadding(0.3)}}));
    broken[0]["style"].erase("shadow");
    const std::string original = broken.dump(2);
    writeText(file, original);
    writeText(folder / "presets.json.unreadable", "an older unreadable file");

    PresetLibrary fresh = loaded();
    EXPECT_TRUE(fresh.presets().empty());
    EXPECT_EQ(readText(file), original);  // loading touches nothing

    fresh.save("New", {});
    EXPECT_EQ(readText(folder / "presets.json.unreadable"), original);
    EXPECT_EQ(names(loaded()), (Names{"New"}));
    // Later writes leave the set-aside copy alone.
    fresh.save("Newer", {});
    EXPECT_EQ(readText(folder / "presets.json.unreadable"), original);

    // One malformed preset fails the whole file.
    EXPECT_THROW(decodePresetsFile(R"([{"name":"A"}])"), DecodeError);
    EXPECT_THROW(decodePresetsFile(R"({"name":"A"})"), DecodeError);
    EXPECT_TRUE(decodePresetsFile("[]").empty());
}

TEST_F(PresetLibraryTest, DeletingTheDefaultPresetAndLoadingInFileOrderUntilAPrettySave) {
    PresetLibrary library = loaded();
    library.save("Clean", {});
    library.save("clean", {});
    library.deletePreset("CLEAN");
    EXPECT_EQ(library.presets().size(), 2u);
    library.deletePreset("Clean");
    EXPECT_EQ(names(library), (Names{"clean"}));
    library.deletePreset("clean");
    EXPECT_EQ(readText(file), "[]");
    std::filesystem::remove(file);
    library.deletePreset("nothing");
    EXPECT_EQ(readText(file), "[]");

    // A preset named "default" in any case supplies the style of new recordings.
    EXPECT_EQ(library.styleForNewRecording(), StyleSettings::defaultStyle());
    library.save("Defaults", styleWithPadding(0.9));
    EXPECT_EQ(library.styleForNewRecording(), StyleSettings::defaultStyle());
    library.save("DEFAULT", styleWithPadding(0.2));
    EXPECT_EQ(library.styleForNewRecording().paddingFraction, 0.2);

    // With default and Default both present, the first in the list wins.
    writeText(file, encodePresetsFile({{"default", styleWithPadding(0.11)},
                                       {"Default", styleWithPadding(0.22)}}));
    EXPECT_EQ(loaded().styleForNewRecording().paddingFraction, 0.11);
    writeText(file, encodePresetsFile({{"Default", styleWithPadding(0.22)},
                                       {"default", styleWithPadding(0.11)}}));
    EXPECT_EQ(loaded().styleForNewRecording().paddingFraction, 0.22);

    // Loading keeps the file's order until the next save, which writes it pretty.
    std::filesystem::create_directories(folder);
    writeText(file, encodePresetsFile({{"gamma", {}}, {"beta", {}}, {"Alpha", {}}}));
    PresetLibrary reloaded = loaded();
    EXPECT_EQ(names(reloaded), (Names{"gamma", "beta", "Alpha"}));
    reloaded.save("delta", {});
    EXPECT_EQ(names(reloaded), (Names{"Alpha", "beta", "delta", "gamma"}));
    EXPECT_FALSE(std::filesystem::exists(folder / "presets.json.unreadable"));

    // The file is pretty, with sorted keys, and reloads.
    StyleSettings dark;
    dark.background = BackgroundStyle::solid("#1D1D1F");
    reloaded.save("Dark", dark);
    const std::string written = readText(file);
    EXPECT_TRUE(written.starts_with("[\n  {\n    \"name\": \"Alpha\",\n    \"style\": {\n"));
    EXPECT_EQ(written, encodePresetsFile(reloaded.presets()));
    EXPECT_EQ(loaded().presets(), reloaded.presets());
}

}  // namespace
}  // namespace zarvex
