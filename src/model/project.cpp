#include "model/project.h"

#include <cstdio>

#include "model/file_io.h"

namespace zarvex {
namespace {

using namespace std::chrono;

bool parseDigits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

std::string decodeFileName(const JsonDecoder& json) {
    std::string name = json.string();
    if (!isContainedRelativePath(name)) {
        json.fail("\"" + name + "\" is not a file name inside the recording folder.");
    }
    return name;
}

std::optional<std::string> optionalFileName(const JsonDecoder& json, std::string_view key) {
    if (const auto value = json.optional(key)) {
        return decodeFileName(*value);
    }
    return std::nullopt;
}

std::optional<double> optionalNumber(const JsonDecoder& json, std::string_view key) {
    if (const auto value = json.optional(key)) {
        return value->number();
    }
    return std::nullopt;
}

}  // namespace

std::string formatTimestamp(Timestamp time) {
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return buffer;
}

std::optional<Timestamp> parseTimestamp(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    int y, mo, d, h, mi, s;
    if (!parseDigits(text, 0, 4, y) || !parseDigits(text, 5, 2, mo) ||
        !parseDigits(text, 8, 2, d) || !parseDigits(text, 11, 2, h) ||
        !parseDigits(text, 14, 2, mi) || !parseDigits(text, 17, 2, s)) {
        return std::nullopt;
    }
    const year_month_day date{year{y}, month{unsigned(mo)}, day{unsigned(d)}};
    if (!date.ok() || h > 23 || mi > 59 || s > 59) {
        return std::nullopt;
    }
    return sys_days{date} + hours{h} + minutes{mi} + seconds{s};
}

Json toJson(const ProjectMeta& meta) {
    Json object{{"version", meta.version},
                {"createdAt", formatTimestamp(meta.createdAt)},
                {"screenFile", meta.screenFile},
                {"micIncluded", meta.micIncluded},
                {"systemAudioIncluded", meta.systemAudioIncluded}};
    if (meta.webcamFile) {
        object["webcamFile"] = *meta.webcamFile;
    }
    if (meta.style) {
        object["style"] = toJson(*meta.style);
    }
    if (meta.trimStart) {
        object["trimStart"] = jsonNumber(*meta.trimStart, "trimStart");
    }
    if (meta.trimEnd) {
        object["trimEnd"] = jsonNumber(*meta.trimEnd, "trimEnd");
    }
    if (meta.eventsFile) {
        object["eventsFile"] = *meta.eventsFile;
    }
    if (meta.zoom) {
        object["zoom"] = toJson(*meta.zoom);
    }
    return object;
}

Json toJson(const RecordedEvents& events) {
    Json clicks = Json::array();
    for (const auto& click : events.clicks) {
        clicks.push_back(Json{{"t", jsonNumber(click.t, "t")},
                              {"x", jsonNumber(click.x, "x")},
                              {"y", jsonNumber(click.y, "y")}});
    }
    return Json{{"version", events.version}, {"clicks", std::move(clicks)}};
}

ProjectMeta decodeProjectMeta(const JsonDecoder& json) {
    json.requireObject();
    ProjectMeta meta;
    meta.version = json["version"].integer();
    const JsonDecoder created = json["createdAt"];
    const auto createdAt = parseTimestamp(created.string());
    if (!createdAt) {
        created.fail("expected a UTC date such as 2026-12-05T01:56:29Z.");
    }
    meta.createdAt = *createdAt;
    meta.screenFile = decodeFileName(json["screenFile"]);
    meta.webcamFile = optionalFileName(json, "webcamFile");
    meta.micIncluded = json["micIncluded"].boolean();
    meta.systemAudioIncluded = json["systemAudioIncluded"].boolean();
    if (const auto style = json.optional("style")) {
        meta.style = decodeStyle(*style);
    }
    meta.trimStart = optionalNumber(json, "trimStart");
    meta.trimEnd = optionalNumber(json, "trimEnd");
    meta.eventsFile = optionalFileName(json, "eventsFile");
    if (json.contains("zoom")) {
        meta.zoom = decodeZoom(json.json()["zoom"]);
    }
    return meta;
}

RecordedEvents decodeEvents(const JsonDecoder& json) {
    json.requireObject();
    RecordedEvents events;
    events.version = json["version"].integer();
    for (const auto& item : json["clicks"].array()) {
        events.clicks.push_back(
            RecordedClick{item["t"].number(), item["x"].number(), item["y"].number()});
    }
    return events;
}

std::string encodeProjectFile(const ProjectMeta& meta) {
    return prettyJson(toJson(meta));
}

ProjectMeta decodeProjectFile(std::string_view text) {
    const Json json = parseJson(text);
    return decodeProjectMeta(JsonDecoder(json));
}

std::string encodeEventsFile(const RecordedEvents& events) {
    return compactJson(toJson(events));
}

RecordedEvents decodeEventsFile(std::string_view text) {
    const Json json = parseJson(text);
    return decodeEvents(JsonDecoder(json));
}

bool isRecordingFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder / kProjectFileName, error);
}

ProjectMeta readProjectFile(const std::filesystem::path& folder) {
    return decodeProjectFile(readFile(folder / kProjectFileName));
}

void writeProjectFile(const std::filesystem::path& folder, const ProjectMeta& meta) {
    writeFileAtomically(folder / kProjectFileName, encodeProjectFile(meta));
}

RecordedEvents readEventsFile(const std::filesystem::path& file) {
    return decodeEventsFile(readFile(file));
}

void writeEventsFile(const std::filesystem::path& folder, const RecordedEvents& events) {
    writeFileAtomically(folder / kEventsFileName, encodeEventsFile(events));
}

std::vector<RecordedClick> loadClicks(const std::filesystem::path& folder,
                                      const ProjectMeta& meta) {
    const auto path = eventsFilePath(folder, meta);
    if (!path) {
        return {};
    }
    try {
        return readEventsFile(*path).clicks;
    } catch (const std::exception&) {
        return {};
    }
}

std::filesystem::path screenMoviePath(const std::filesystem::path& folder,
                                      const ProjectMeta& meta) {
    return folder / meta.screenFile;
}

std::optional<std::filesystem::path> webcamMoviePath(const std::filesystem::path& folder,
                                                     const ProjectMeta& meta) {
    if (!meta.webcamFile) {
        return std::nullopt;
    }
    return folder / *meta.webcamFile;
}

std::optional<std::filesystem::path> eventsFilePath(const std::filesystem::path& folder,
                                                    const ProjectMeta& meta) {
    if (!meta.eventsFile) {
        return std::nullopt;
    }
    return folder / *meta.eventsFile;
}

}  // namespace zarvex
