#include <sstream>

#include <gtest/gtest.h>

#include "app/cli.h"
#include "model/project.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::writeText;

// runCommandLine() in this process, as `zarvex ARGS` runs it.
testing::ProcessResult run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = runCommandLine(args, {out, err});
    return {code, out.str(), err.str()};
}

ProjectMeta freshMeta() {
    ProjectMeta meta;
    meta.createdAt = *parseTimestamp("2026-12-05T01:56:29Z");
    meta.micIncluded = true;
    meta.eventsFile = "events.json";
    return meta;
}

class InfoCommand : public ::testing::Test {
  protected:
    testing::TempDir dir;
    std::filesystem::path folder = dir / "Zarvex 2026-12-05 at 1.56.29 AM";

    void SetUp() override { std::filesystem::create_directory(folder); }
};

TEST_F(InfoCommand, FreshRecordingSummary) {
    writeProjectFile(folder, freshMeta());
    writeText(folder / "screen.mov", std::string(2500, 'x'));
    writeEventsFile(folder, RecordedEvents{1, {{0.5, 0.1, 0.2}, {1.5, 0.3, 0.4}, {2.5, 0.5, 0.6}}});

    const testing::ProcessResult result = run({"info", folder.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Recording     Zarvex 2026-12-05 at 1.56.29 AM\n"
              "Created       2026-12-05T01:56:29Z\n"
              "Screen        screen.mov (2.5 kB)\n"
              "Webcam        none\n"
              "Microphone    on\n"
              "System audio  off\n"
              "Style         default style\n"
              "Trim          none\n"
              "Clicks        3 (events.json)\n");

    // A broken click file is reported, not fatal.
    writeText(folder / "events.json", "{");
    const testing::ProcessResult broken = run({"info", folder.string()});
    EXPECT_EQ(broken.exitCode, 0);
    EXPECT_NE(broken.out.find("Clicks        none (events.json is unreadable"), std::string::npos);
}

TEST_F(InfoCommand, StyledTrimmedRecordingWithWebcam) {
    ProjectMeta meta = freshMeta();
    meta.webcamFile = "webcam.mov";
    meta.systemAudioIncluded = true;
    meta.style = StyleSettings{};
    meta.style->background = BackgroundStyle::solid("#1D1D1F");
    meta.style->clickRipples = false;
    meta.style->webcam.positionX = 0.25;
    meta.style->webcam.positionY = 0.5;
    meta.trimStart = 1.5;
    meta.trimEnd = 10;
    writeProjectFile(folder, meta);

    const testing::ProcessResult result = run({"info", folder.string() + "/"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Recording     Zarvex 2026-12-05 at 1.56.29 AM\n"
              "Created       2026-12-05T01:56:29Z\n"
              "Screen        screen.mov (missing)\n"
              "Webcam        webcam.mov (missing)\n"
              "Microphone    on\n"
              "System audio  on\n"
              "Style         solid #1D1D1F\n"
              "              padding 7%, corners 24 px, aspect Original\n"
              "              shadow 40%, blur 44, offset 14\n"
              "              webcam Circle, 24% of the height, centred at 25%, 50%\n"
              "              click ripples off\n"
              "Trim          1.5 s to 10 s\n"
              "Clicks        none (events.json not written)\n");
}

TEST_F(InfoCommand, FoldersThatAreNoReadableRecordingFail) {
    for (const auto& path : {folder, dir / "missing"}) {
        const testing::ProcessResult result = run({"info", path.string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "That folder isn't a Zarvex recording.\n");
        EXPECT_EQ(result.out, "");
    }

    Json json = toJson(freshMeta());
    json["style"] = toJson(StyleSettings{});
    json["style"].erase("aspect");
    writeText(folder / "project.json", json.dump(2));
    const testing::ProcessResult result = run({"info", folder.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Could not open recording: Missing key \"style.aspect\".\n");

    json = toJson(freshMeta());
    json["screenFile"] = "../elsewhere.mov";
    writeText(folder / "project.json", json.dump(2));
    EXPECT_NE(run({"info", folder.string()}).err.find("\"screenFile\""), std::string::npos);
}

TEST(CommandLine, UsageErrorsAndTheProgramsExitCodes) {
    EXPECT_EQ(run({"info"}).exitCode, 2);
    EXPECT_EQ(run({"info", "a", "b"}).exitCode, 2);
    const testing::ProcessResult unknown = run({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);

    const auto help = testing::runProcess({ZARVEX_BINARY, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("info FOLDER"), std::string::npos);
    EXPECT_NE(help.out.find("export FOLDER"), std::string::npos);
    const auto version = testing::runProcess({ZARVEX_BINARY, "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.starts_with("zarvex ")) << version.out;
}

}  // namespace
}  // namespace zarvex
