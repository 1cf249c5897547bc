#include "capture/recordings_directory.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "model/project.h"
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

namespace {

using FileTime = std::chrono::nanoseconds;

FileTime toNanoseconds(const statx_timestamp& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

// Birth time where the file system keeps one, else the modification time;
// the distant past when neither can be read.
FileTime creationTime(const std::filesystem::path& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) {
        return FileTime::min();
    }
    if ((info.stx_mask & STATX_BTIME) != 0) {
        return toNanoseconds(info.stx_btime);
    }
    if ((info.stx_mask & STATX_MTIME) != 0) {
        return toNanoseconds(info.stx_mtime);
    }
    return FileTime::min();
}

}  // namespace

std::vector<std::filesystem::path> recentRecordings(const std::filesystem::path& directory,
                                                    std::size_t limit) {
    struct Entry {
        std::filesystem::path path;
        FileTime created;
    };
    std::vector<Entry> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if (path.filename().string().starts_with(".") || !isRecordingFolder(path)) {
            continue;
        }
        entries.push_back({path, creationTime(path)});
    }
    if (error) {
        return {};
    }
    // Newest first; folders made in the same instant by name, later names first.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.created != b.created ? a.created > b.created : a.path > b.path;
    });
    std::vector<std::filesystem::path> recent;
    for (std::size_t i = 0; i < entries.size() && i < limit; ++i) {
        recent.push_back(std::move(entries[i].path));
    }
    return recent;
}

}  // namespace zarvex
