#include "capture/recordings_directory.h"

#include "model/user_dirs.h"

namespace zarvex {

std::filesystem::path recordingsDirectory(const Preferences& preferences) {
    const std::string stored = preferences.recordingsFolder();
    if (!stored.empty()) {
        return std::filesystem::path(stored);
    }
    return moviesDirectory() / "Zarvex";
}

std::filesystem::path ensureRecordingsDirectory(const Preferences& preferences) {
    const auto directory = recordingsDirectory(preferences);
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return directory;
}

}  // namespace zarvex
