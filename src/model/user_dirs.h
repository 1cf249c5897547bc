#pragma once

#include <filesystem>

namespace zarvex {

// The user's home folder: $HOME, else the password database entry.
std::filesystem::path homeDirectory();

// $XDG_DATA_HOME, else ~/.local/share. Application data lives in "Zarvex" inside it.
std::filesystem::path dataHomeDirectory();

// The user's videos folder: XDG_VIDEOS_DIR from user-dirs.dirs, else ~/Videos.
std::filesystem::path moviesDirectory();

}  // namespace zarvex
