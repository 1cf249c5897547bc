#include "model/presets.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

StyleSettings styleWithPadding(double padding) {
    StyleSettings style;
    style.paddingFraction = padding;
    return style;
}

std::vector<std::string> names(const PresetLibrary& library) {
    std::vector<std::string> result;
    for (const auto& preset : library.presets()) {
        result.push_back(preset.name);
    }
    return result;
}

class PresetLibraryTest : public ::testing::Test {
  protected:
    TempDir home;
    std::filesystem::path folder = home / "Zarvex";

    PresetLibrary loaded() {
        PresetLibrary library(folder);
        library.load();
        return library;
    }
};

TEST_F(PresetLibraryTest, MissingFolderIsCreatedAndMissingFileIsEmpty) {
    PresetLibrary library = loaded();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(library.presets().empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "presets.json"));
}

TEST_F(PresetLibraryTest, SavingTheSameNameReplaces) {
    PresetLibrary library = loaded();
    library.save("Clean", styleWithPadding(0.1));
    library.save("Clean", styleWithPadding(0.2));
    ASSERT_EQ(library.presets().size(), 1u);
    EXPECT_EQ(library.presets()[0].style.paddingFraction, 0.2);
}

TEST_F(PresetLibraryTest, ReplacementIsCaseSensitiveButCanonical) {
    PresetLibrary library = loaded();
    library.save("Clean", styleWithPadding(0.1));
    library.save("Alpha", styleWithPadding(0.3));
    library.save("clean", styleWithPadding(0.2));
    EXPECT_EQ(names(library), (std::vector<std::string>{"Alpha", "Clean", "clean"}));
    // Saving "Clean" again moves it after "clean": stable sort, new one last among equals.
    library.save("Clean", styleWithPadding(0.4));
    EXPECT_EQ(names(library), (std::vector<std::string>{"Alpha", "clean", "Clean"}));
    // Precomposed é and e + combining acute are the same preset.
    library.save("Caf\xC3\xA9", styleWithPadding(0.5));
    library.save("Cafe\xCC\x81", styleWithPadding(0.6));
    EXPECT_EQ(library.presets().size(), 4u);
}

TEST_F(PresetLibraryTest, SortIsCaseInsensitiveAndLoadKeepsFileOrder) {
    PresetLibrary library = loaded();
    library.save("gamma", {});
    library.save("beta", {});
    library.save("Alpha", {});
    EXPECT_EQ(names(library), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    writeText(folder / "presets.json",
              encodePresetsFile({{"gamma", {}}, {"beta", {}}, {"Alpha", {}}}));
    PresetLibrary reloaded = loaded();
    EXPECT_EQ(names(reloaded), (std::vector<std::string>{"gamma", "beta", "Alpha"}));
    reloaded.save("delta", {});
    EXPECT_EQ(names(reloaded), (std::vector<std::string>{"Alpha", "beta", "delta", "gamma"}));
}

TEST_F(PresetLibraryTest, FileIsPrettyWithSortedKeysAndReloads) {
    PresetLibrary library = loaded();
    StyleSettings style;
    style.background = BackgroundStyle::solid("#1D1D1F");
    library.save("Dark", style);
    const std::string text = readText(folder / "presets.json");
    EXPECT_TRUE(text.starts_with("[\n  {\n    \"name\": \"Dark\",\n    \"style\": {\n"));
    EXPECT_EQ(text, encodePresetsFile(library.presets()));
    EXPECT_EQ(loaded().presets(), library.presets());
}

TEST_F(PresetLibraryTest, DeletingRemovesExactNamesAndAlwaysWrites) {
    PresetLibrary library = loaded();
    library.save("Clean", {});
    library.save("clean", {});
    library.deletePreset("CLEAN");
    EXPECT_EQ(library.presets().size(), 2u);
    library.deletePreset("Clean");
    EXPECT_EQ(names(library), (std::vector<std::string>{"clean"}));
    library.deletePreset("clean");
    EXPECT_EQ(readText(folder / "presets.json"), "[]");
    std::filesystem::remove(folder / "presets.json");
    library.deletePreset("nothing");
    EXPECT_EQ(readText(folder / "presets.json"), "[]");
}

TEST_F(PresetLibraryTest, DefaultPresetSuppliesNewRecordingStyle) {
    PresetLibrary library = loaded();
    EXPECT_EQ(library.styleForNewRecording(), StyleSettings::defaultStyle());
    library.save("Defaults", styleWithPadding(0.9));
    EXPECT_EQ(library.styleForNewRecording(), StyleSettings::defaultStyle());
    library.save("DEFAULT", styleWithPadding(0.2));
    EXPECT_EQ(library.styleForNewRecording().paddingFraction, 0.2);

    // With default and Default both present, the first in the list wins.
    writeText(folder / "presets.json", encodePresetsFile({{"default", styleWithPadding(0.11)},
                                                          {"Default", styleWithPadding(0.22)}}));
    EXPECT_EQ(loaded().styleForNewRecording().paddingFraction, 0.11);
    writeText(folder / "presets.json", encodePresetsFile({{"Default", styleWithPadding(0.22)},
                                                          {"default", styleWithPadding(0.11)}}));
    EXPECT_EQ(loaded().styleForNewRecording().paddingFraction, 0.22);
}

TEST_F(PresetLibraryTest, UndecodableFileIsSetAsideBeforeTheFirstWrite) {
    std::filesystem::create_directories(folder);
    Json broken = parseJson(encodePresetsFile({{"Mine", styleWithPadding(0.3)}}));
    broken[0]["style"].erase("shadow");
    const std::string original = broken.dump(2);
    writeText(folder / "presets.json", original);
    writeText(folder / "presets.json.unreadable", "an older unreadable file");

    PresetLibrary library = loaded();
    EXPECT_TRUE(library.presets().empty());
    EXPECT_EQ(readText(folder / "presets.json"), original);  // loading touches nothing

    library.save("New", {});
    EXPECT_EQ(readText(folder / "presets.json.unreadable"), original);
    EXPECT_EQ(loaded().presets(), library.presets());
    ASSERT_EQ(library.presets().size(), 1u);

    // Later writes leave the set-aside copy alone.
    library.save("Newer", {});
    EXPECT_EQ(readText(folder / "presets.json.unreadable"), original);
}

TEST_F(PresetLibraryTest, ValidFileIsNeverSetAside) {
    PresetLibrary library = loaded();
    library.save("One", {});
    PresetLibrary again = loaded();
    again.save("Two", {});
    EXPECT_FALSE(std::filesystem::exists(folder / "presets.json.unreadable"));
    EXPECT_EQ(names(again), (std::vector<std::string>{"One", "Two"}));
}

TEST(PresetsFile, OneMalformedPresetFailsTheWholeFile) {
    EXPECT_THROW(decodePresetsFile(R"([{"name":"A"}])"), DecodeError);
    EXPECT_THROW(decodePresetsFile(R"({"name":"A"})"), DecodeError);
    EXPECT_TRUE(decodePresetsFile("[]").empty());
}

}  // namespace
}  // namespace zarvex
