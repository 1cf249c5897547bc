#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/style.h"
#include "model/zoom.h"

namespace zarvex {

using Timestamp = std::chrono::sys_seconds;

inline constexpr std::string_view kProjectFileName = "project.json";
inline constexpr std::string_view kScreenFileName = "screen.mov";
inline constexpr std::string_view kWebcamFileName = "webcam.mov";
inline constexpr std::string_view kEventsFileName = "events.json";
inline constexpr std::string_view kNotARecordingMessage = "That folder isn't a Zarvex recording.";

// The content of project.json. File names are relative to the recording folder
// and, once decoded, never leave it.
struct ProjectMeta {
    std::int64_t version = 1;
    Timestamp createdAt{};
    std::string screenFile{kScreenFileName};
    std::optional<std::string> webcamFile;
    bool micIncluded = false;
    bool systemAudioIncluded = false;
    std::optional<StyleSettings> style;
    std::optional<double> trimStart;
    std::optional<double> trimEnd;
    std::optional<std::string> eventsFile;
    // Zoom on clicks; absent means none. A malformed value reads as absent.
    std::optional<ZoomSettings> zoom;

    bool operator==(const ProjectMeta&) const = default;
};

// One mouse-button press: seconds since the recording's T0, position as
// fractions of the captured area from its top-left corner.
struct RecordedClick {
    double t = 0;
    double x = 0;
    double y = 0;
    bool operator==(const RecordedClick&) const = default;
};

// The content of events.json.
struct RecordedEvents {
    std::int64_t version = 1;
    std::vector<RecordedClick> clicks;
    bool operator==(const RecordedEvents&) const = default;
};

// "2026-12-05T01:56:29Z": UTC, no fraction, nothing else accepted.
std::string formatTimestamp(Timestamp time);
std::optional<Timestamp> parseTimestamp(std::string_view text);

Json toJson(const ProjectMeta& meta);
Json toJson(const RecordedEvents& events);
ProjectMeta decodeProjectMeta(const JsonDecoder& json);
RecordedEvents decodeEvents(const JsonDecoder& json);

// File texts: project.json pretty-printed, events.json compact; keys sorted.
// Encoding throws EncodeError for values JSON cannot hold; decoding throws DecodeError.
std::string encodeProjectFile(const ProjectMeta& meta);
ProjectMeta decodeProjectFile(std::string_view text);
std::string encodeEventsFile(const RecordedEvents& events);
RecordedEvents decodeEventsFile(std::string_view text);

// A folder is a recording exactly when a regular file "project.json" is directly inside it.
bool isRecordingFolder(const std::filesystem::path& folder);

// Reading and writing inside a recording folder. Reads throw FileError or
// DecodeError; writes go through a temporary file so no torn file is left.
ProjectMeta readProjectFile(const std::filesystem::path& folder);
void writeProjectFile(const std::filesystem::path& folder, const ProjectMeta& meta);
RecordedEvents readEventsFile(const std::filesystem::path& file);
void writeEventsFile(const std::filesystem::path& folder, const RecordedEvents& events);

// The clicks of a recording; a missing, unreadable or undecodable events file
// (or none named) gives an empty list.
std::vector<RecordedClick> loadClicks(const std::filesystem::path& folder, const ProjectMeta& meta);

// Locations of the recording's files, from the names stored in project.json.
std::filesystem::path screenMoviePath(const std::filesystem::path& folder, const ProjectMeta& meta);
std::optional<std::filesystem::path> webcamMoviePath(const std::filesystem::path& folder,
                                                     const ProjectMeta& meta);
std::optional<std::filesystem::path> eventsFilePath(const std::filesystem::path& folder,
                                                    const ProjectMeta& meta);

}  // namespace zarvex
