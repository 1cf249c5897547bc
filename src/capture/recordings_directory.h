#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "model/preferences.h"

namespace zarvex {

// Where recording folders are created: the `recordingsFolder` preference taken
// literally when it is not empty (no tilde expansion), else the user's videos
// folder followed by "Zarvex".
std::filesystem::path recordingsDirectory(const Preferences& preferences);

// recordingsDirectory(), created with any missing parents; creation errors are
// ignored and surface when something is written there.
std::filesystem::path ensureRecordingsDirectory(const Preferences& preferences);

// Up to `limit` recording folders in `directory` (those holding a
// project.json; hidden entries are skipped), newest first by creation time.
// An entry whose creation time the file system does not keep falls back to
// its modification time; an unreadable folder gives an empty list.
std::vector<std::filesystem::path> recentRecordings(const std::filesystem::path& directory,
                                                    std::size_t limit);

}  // namespace zarvex
