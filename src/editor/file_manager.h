#pragma once

#include <filesystem>

namespace zarvex {

// Shows `path` (a file or a folder) selected in the desktop's file manager:
// asks org.freedesktop.FileManager1 on the session bus to ShowItems, and when
// no file manager answers that (no session bus, no such service, an error),
// opens the folder instead: `path` itself when it is a folder, else the
// folder that holds it. Returns at once; main thread.
void revealInFileManager(const std::filesystem::path& path);

}  // namespace zarvex
