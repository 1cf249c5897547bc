// zarvex info FOLDER: a short, human summary of a recording folder.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "app/cli.h"
#include "model/file_io.h"
#include "model/project.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

std::string number(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text == "-0" ? "0" : text;
}

std::string percent(double fraction) {
    return number(fraction * 100) + "%";
}

std::string fileSize(std::uintmax_t bytes) {
    char buffer[32];
    if (bytes < 1000) {
        std::snprintf(buffer, sizeof buffer, "%ju bytes", bytes);
    } else if (bytes < 1000 * 1000) {
        std::snprintf(buffer, sizeof buffer, "%.1f kB", double(bytes) / 1e3);
    } else if (bytes < 1000ull * 1000 * 1000) {
        std::snprintf(buffer, sizeof buffer, "%.1f MB", double(bytes) / 1e6);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.2f GB", double(bytes) / 1e9);
    }
    return buffer;
}

std::string describeFile(const fs::path& path, const std::string& name) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error) {
        return name + " (missing)";
    }
    return name + " (" + fileSize(size) + ")";
}

std::string describeBackground(const BackgroundStyle& background) {
    if (const auto* solid = background.asSolid()) {
        return "solid " + solid->hex;
    }
    if (const auto* image = background.asImage()) {
        return "image " + image->path;
    }
    const auto* gradient = background.asGradient();
    std::string text = "gradient";
    for (std::size_t i = 0; i < gradient->colors.size(); ++i) {
        text += (i == 0 ? " " : " → ") + gradient->colors[i];
    }
    return text + " at " + number(gradient->angle) + "°";
}

std::string describeWebcam(const WebcamSpec& webcam) {
    if (webcam.hidden) {
        return "hidden";
    }
    std::string text = std::string(rawValue(webcam.shape)) + ", " + percent(webcam.sizeFraction) +
                       " of the height, ";
    if (webcam.positionX && webcam.positionY) {
        text += "centred at " + percent(*webcam.positionX) + ", " + percent(*webcam.positionY);
    } else {
        text += std::string(rawValue(webcam.corner));
    }
    return text;
}

std::string describeTrim(const ProjectMeta& meta) {
    if (!meta.trimStart && !meta.trimEnd) {
        return "none";
    }
    if (meta.trimStart && meta.trimEnd) {
        return number(*meta.trimStart) + " s to " + number(*meta.trimEnd) + " s";
    }
    if (meta.trimStart) {
        return "from " + number(*meta.trimStart) + " s";
    }
    return "until " + number(*meta.trimEnd) + " s";
}

std::string describeClicks(const fs::path& folder, const ProjectMeta& meta) {
    const auto path = eventsFilePath(folder, meta);
    if (!path) {
        return "none recorded";
    }
    std::error_code error;
    if (!fs::exists(*path, error)) {
        return "none (" + *meta.eventsFile + " not written)";
    }
    try {
        const auto count = readEventsFile(*path).clicks.size();
        return std::to_string(count) + " (" + *meta.eventsFile + ")";
    } catch (const std::exception& failure) {
        return "none (" + *meta.eventsFile + " is unreadable: " + failure.what() + ")";
    }
}

void printStyle(std::ostream& out, const std::optional<StyleSettings>& style) {
    if (!style) {
        out << "Style         default style\n";
        return;
    }
    out << "Style         " << describeBackground(style->background) << "\n"
        << "              padding " << percent(style->paddingFraction) << ", corners "
        << number(style->cornerRadius) << " px, aspect " << rawValue(style->aspect) << "\n"
        << "              shadow " << percent(style->shadow.opacity) << ", blur "
        << number(style->shadow.blur) << ", offset " << number(style->shadow.offsetY) << "\n"
        << "              webcam " << describeWebcam(style->webcam) << "\n"
        << "              click ripples " << (style->ripplesEnabled() ? "on" : "off") << "\n";
}

}  // namespace

int runInfo(const std::vector<std::string>& args, CommandLineIO io) {
    if (args.size() != 1 || args[0].starts_with("-")) {
        io.err << "Usage: zarvex info FOLDER\n";
        return kExitUsage;
    }
    const fs::path folder = args[0];
    if (!isRecordingFolder(folder)) {
        io.err << kNotARecordingMessage << "\n";
        return kExitFailure;
    }
    ProjectMeta meta;
    try {
        meta = readProjectFile(folder);
    } catch (const std::exception& error) {
        io.err << "Could not open recording: " << error.what() << "\n";
        return kExitFailure;
    }

    std::error_code ignored;
    const fs::path absolute = fs::absolute(folder, ignored).lexically_normal();
    std::string name = absolute.filename().string();
    if (name.empty()) {
        name = absolute.parent_path().filename().string();
    }
    auto& out = io.out;
    out << "Recording     " << name << "\n"
        << "Created       " << formatTimestamp(meta.createdAt) << "\n"
        << "Screen        " << describeFile(screenMoviePath(folder, meta), meta.screenFile) << "\n"
        << "Webcam        "
        << (meta.webcamFile ? describeFile(*webcamMoviePath(folder, meta), *meta.webcamFile)
                            : std::string("none"))
        << "\n"
        << "Microphone    " << (meta.micIncluded ? "on" : "off") << "\n"
        << "System audio  " << (meta.systemAudioIncluded ? "on" : "off") << "\n";
    printStyle(out, meta.style);
    out << "Trim          " << describeTrim(meta) << "\n"
        << "Clicks        " << describeClicks(folder, meta) << "\n";
    return kExitOk;
}

}  // namespace zarvex
