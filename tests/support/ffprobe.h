#pragma once

// What players see in a movie: ffprobe's reports, for the end-to-end tests.

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "model/json_coding.h"
#include "process.h"

namespace zarvex::testing {

// ffprobe's streams and format of a movie.
inline Json probeMovie(const std::filesystem::path& movie) {
    const ProcessResult result = runProcess(
        {"ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", movie.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.exitCode == 0 ? parseJson(result.out) : Json::object();
}

// The streams of one codec type ("video", "audio") of a probed movie.
inline std::vector<Json> streamsOf(const Json& probed, std::string_view type) {
    std::vector<Json> streams;
    for (const Json& stream : probed.value("streams", Json::array())) {
        if (stream["codec_type"] == type) {
            streams.push_back(stream);
        }
    }
    return streams;
}

// One line per stream in file order: "h264 640x360" for video, "aac" for audio.
inline std::vector<std::string> probeStreams(const std::filesystem::path& movie) {
    std::vector<std::string> streams;
    for (const Json& stream : probeMovie(movie).value("streams", Json::array())) {
        std::ostringstream line;
        line << stream["codec_name"].get<std::string>();
        if (stream["codec_type"] == "video") {
            line << " " << stream["width"].get<int>() << "x" << stream["height"].get<int>();
        }
        streams.push_back(line.str());
    }
    return streams;
}

// Presentation times (seconds) of the first video stream's frames, as
// ffprobe decodes them; empty when the movie cannot be read.
inline std::vector<double> probeFrameTimes(const std::filesystem::path& movie) {
    const ProcessResult result =
        runProcess({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                    "frame=pts_time", "-of", "csv=p=0", movie.string()});
    std::vector<double> times;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line != "N/A") {
            times.push_back(std::stod(line));
        }
    }
    return times;
}

// The time of the last of those frames; -1 when there is none.
inline double lastFrameTime(const std::filesystem::path& movie) {
    const std::vector<double> times = probeFrameTimes(movie);
    return times.empty() ? -1 : times.back();
}

}  // namespace zarvex::testing
