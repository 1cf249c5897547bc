#include "model/user_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace zarvex {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Reads XDG_VIDEOS_DIR="$HOME/Videos" from user-dirs.dirs; empty when absent.
std::filesystem::path userDirsVideos(const std::filesystem::path& home) {
    std::filesystem::path config = environment("XDG_CONFIG_HOME");
    if (config.empty() || config.is_relative()) {
        config = home / ".config";
    }
    std::ifstream file(config / "user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_VIDEOS_DIR=";
    while (std::getline(file, line)) {
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
            return {};
        }
        value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            value = home.string() + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            return {};
        }
        const std::filesystem::path path = value;
        // A videos entry equal to the home folder itself means "not set".
        if (path.lexically_normal() == home.lexically_normal()) {
            return {};
        }
        return path;
    }
    return {};
}

}  // namespace

std::filesystem::path homeDirectory() {
    const std::string home = environment("HOME");
    if (!home.empty()) {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
        return entry->pw_dir;
    }
    return std::filesystem::temp_directory_path();
}

std::filesystem::path dataHomeDirectory() {
    const std::filesystem::path data = environment("XDG_DATA_HOME");
    if (!data.empty() && data.is_absolute()) {
        return data;
    }
    return homeDirectory() / ".local" / "share";
}

std::filesystem::path moviesDirectory() {
    const auto home = homeDirectory();
    if (auto videos = userDirsVideos(home); !videos.empty()) {
        return videos;
    }
    return home / "Videos";
}

}  // namespace zarvex
