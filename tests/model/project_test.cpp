#include "model/project.h"

#include <gtest/gtest.h>

#include "model/file_io.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::readText;
using testing::TempDir;
using testing::writeText;

Timestamp at(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    using namespace std::chrono;
    return sys_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s};
}

ProjectMeta startMeta() {
    ProjectMeta meta;
    meta.createdAt = at(2026, 12, 5, 1, 56, 29);
    meta.micIncluded = true;
    meta.systemAudioIncluded = false;
    meta.eventsFile = "events.json";
    return meta;
}

constexpr std::string_view kStartText = R"({
  "createdAt": "2026-12-05T01:56:29Z",
  "eventsFile": "events.json",
  "micIncluded": true,
  "screenFile": "screen.mov",
  "systemAudioIncluded": false,
  "version": 1
})";

// The path of the DecodeError that decoding `json` as a project file throws.
std::string failingPath(const Json& json) {
    const auto error = testing::thrown<DecodeError>([&] { decodeProjectFile(json.dump()); });
    return error ? error->path() : "";
}

// The start file with `key` set to `value`.
Json startJsonWith(const std::string& key, const Json& value) {
    Json json = parseJson(kStartText);
    json[key] = value;
    return json;
}

TEST(ProjectFile, EncodesExactlyInSortedOrderRoundTripsAndNamesTheFolderFiles) {
    EXPECT_EQ(encodeProjectFile(startMeta()), kStartText);
    EXPECT_EQ(decodeProjectFile(kStartText), startMeta());

    ProjectMeta meta = startMeta();
    meta.webcamFile = "webcam.mov";
    meta.style = StyleSettings{};
    meta.style->background = BackgroundStyle::solid("#000000");
    meta.trimStart = 1.5;
    meta.trimEnd = 10;
    const std::string text = encodeProjectFile(meta);
    std::vector<std::string> keys;
    const Json json = parseJson(text);
    for (const auto& [key, value] : json.items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"createdAt", "eventsFile", "micIncluded",
                                              "screenFile", "style", "systemAudioIncluded",
                                              "trimEnd", "trimStart", "version", "webcamFile"}));
    EXPECT_NE(text.find("\"trimEnd\": 10,\n"), std::string::npos);
    EXPECT_NE(text.find("\"trimStart\": 1.5,\n"), std::string::npos);
    EXPECT_EQ(decodeProjectFile(text), meta);

    // A recording folder is recognised by its project file and read through the names it stores.
    TempDir dir;
    EXPECT_FALSE(isRecordingFolder(dir.path()));
    EXPECT_FALSE(isRecordingFolder(dir / "missing"));
    std::filesystem::create_directory(dir / "project.json");
    EXPECT_FALSE(isRecordingFolder(dir.path()));  // a folder of that name is not the file
    std::filesystem::remove(dir / "project.json");
    writeText(dir / "project.json", "not even json");
    EXPECT_TRUE(isRecordingFolder(dir.path()));

    ProjectMeta stored = startMeta();
    writeProjectFile(dir.path(), stored);
    EXPECT_EQ(readText(dir / "project.json"), kStartText);
    EXPECT_EQ(readProjectFile(dir.path()), stored);

    RecordedEvents events;
    events.clicks = {{0.5, 0, 0}, {2, 0.999, 0.5}};
    writeEventsFile(dir.path(), events);
    EXPECT_EQ(loadClicks(dir.path(), stored), events.clicks);

    stored.eventsFile = "clicks-2.json";
    stored.webcamFile = "cam/webcam.mov";
    stored.screenFile = "display.mov";
    EXPECT_EQ(screenMoviePath(dir.path(), stored), dir / "display.mov");
    EXPECT_EQ(webcamMoviePath(dir.path(), stored), dir.path() / "cam/webcam.mov");
    EXPECT_EQ(eventsFilePath(dir.path(), stored), dir / "clicks-2.json");
    EXPECT_TRUE(loadClicks(dir.path(), stored).empty());  // not written

    // Broken or unnamed click files give no clicks.
    stored = startMeta();
    writeText(dir / "events.json", R"({"clicks":[{"t":1}],"version":1})");
    EXPECT_TRUE(loadClicks(dir.path(), stored).empty());
    writeText(dir / "events.json", "garbage");
    EXPECT_TRUE(loadClicks(dir.path(), stored).empty());
    stored.eventsFile.reset();
    writeText(dir / "events.json", R"({"clicks":[{"t":1,"x":0,"y":0}],"version":1})");
    EXPECT_TRUE(loadClicks(dir.path(), stored).empty());  // none named
}

TEST(ProjectFile, RequiredKeysAreNamedOptionalOnesMayBeNullAndAMalformedStyleFails) {
    for (const char* key :
         {"version", "createdAt", "screenFile", "micIncluded", "systemAudioIncluded"}) {
        Json json = parseJson(kStartText);
        json.erase(key);
        EXPECT_EQ(failingPath(json), key);
    }
    Json style = toJson(StyleSettings{});
    style.erase("aspect");
    EXPECT_EQ(failingPath(startJsonWith("style", style)), "style.aspect");
    EXPECT_THROW(decodeProjectFile("{\"version\": 1"), DecodeError);
    EXPECT_THROW(decodeProjectFile("[]"), DecodeError);
    EXPECT_THROW(decodeProjectFile(""), DecodeError);

    // Optional keys may be null, unknown keys are ignored.
    Json json = parseJson(kStartText);
    json["webcamFile"] = nullptr;
    json["style"] = nullptr;
    json["trimStart"] = nullptr;
    json["trimEnd"] = 3.25;
    json["eventsFile"] = nullptr;
    json["futureField"] = {1, 2, 3};
    json["version"] = 7;
    const ProjectMeta meta = decodeProjectFile(json.dump());
    EXPECT_FALSE(meta.webcamFile);
    EXPECT_FALSE(meta.style);
    EXPECT_FALSE(meta.eventsFile);
    EXPECT_FALSE(meta.trimStart);
    EXPECT_EQ(meta.trimEnd, 3.25);
    EXPECT_EQ(meta.version, 7);
}

TEST(ProjectFile, CreatedAtIsStrictFileNamesStayInsideAndTheEventsFileIsExact) {
    for (const char* text :
         {"2026-12-05T01:56:29.123Z", "2026-12-05T01:56:29", "2026-12-05T01:56:29+00:00",
          "2026-12-05 01:56:29Z", "2026-13-05T01:56:29Z", "2026-02-30T01:56:29Z",
          "2026-12-05T24:00:00Z", "2026-12-5T01:56:29Z", ""}) {
        EXPECT_EQ(failingPath(startJsonWith("createdAt", text)), "createdAt") << text;
    }
    EXPECT_EQ(parseTimestamp("2024-02-29T23:59:59Z"), at(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(formatTimestamp(at(1999, 1, 2, 3, 4, 5)), "1999-01-02T03:04:05Z");

    // File names must stay inside the folder.
    for (const char* key : {"screenFile", "webcamFile", "eventsFile"}) {
        for (const char* name :
             {"", "/etc/passwd", "..", "../other/screen.mov", "sub/..", "a/../../b.mov"}) {
            EXPECT_EQ(failingPath(startJsonWith(key, name)), key) << name;
        }
    }
    for (const char* name : {"takes/screen..v2.mov", "..hidden", "sub/dir/file.mov"}) {
        EXPECT_EQ(decodeProjectFile(startJsonWith("screenFile", name).dump()).screenFile, name);
    }

    // The events file: compact exact text and required keys.
    RecordedEvents events;
    events.clicks = {{1.25, 0.5, 0.25}};
    EXPECT_EQ(encodeEventsFile(events), R"({"clicks":[{"t":1.25,"x":0.5,"y":0.25}],"version":1})");
    EXPECT_EQ(encodeEventsFile(RecordedEvents{}), R"({"clicks":[],"version":1})");
    EXPECT_EQ(decodeEventsFile(encodeEventsFile(events)), events);

    EXPECT_THROW(decodeEventsFile(R"({"clicks":[]})"), DecodeError);
    EXPECT_THROW(decodeEventsFile(R"({"version":1})"), DecodeError);
    const auto error = testing::thrown<DecodeError>(
        [] { decodeEventsFile(R"({"clicks":[{"t":1,"x":0,"y":0},{"t":2,"x":0}],"version":1})"); });
    EXPECT_EQ(error.value().path(), "clicks[1].y");
}

}  // namespace
}  // namespace zarvex
