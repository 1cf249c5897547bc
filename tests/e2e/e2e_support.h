#pragma once

// What the end-to-end recording tests share: ffprobe's view of a movie.

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace zarvex::testing {

// One line per stream in file order: "h264 640x360" for video, "aac" for audio.
inline std::vector<std::string> probeStreams(const std::filesystem::path& movie) {
    const ProcessResult result =
        runProcess({"ffprobe", "-v", "error", "-show_entries",
                    "stream=codec_name,codec_type,width,height", "-of", "csv=p=0", movie.string()});
    std::vector<std::string> streams;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string codec, type, width, height;
        std::getline(fields, codec, ',');
        std::getline(fields, type, ',');
        std::getline(fields, width, ',');
        std::getline(fields, height, ',');
        streams.push_back(type == "video" ? codec + " " + width + "x" + height : codec);
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

}  // namespace zarvex::testing
