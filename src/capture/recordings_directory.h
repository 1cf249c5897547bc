#pragma once

#include <filesystem>

#include "model/preferences.h"

namespace zarvex {

// Where recording folders are created: the `recordingsFolder` preference taken
// literally when it is not empty (no tilde expansion), else the user's videos
// folder followed by "Zarvex".
std::filesystem::path recordingsDirectory(const Preferences& preferences);

// recordingsDirectory(), created with any missing parents; creation errors are
// ignored and surface when something is written there.
std::filesystem::path ensureRecordingsDirectory(const Preferences& preferences);

}  // namespace zarvex
