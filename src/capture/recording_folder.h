#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace zarvex {

// "Zarvex " followed by the local date and time of `time` in the pattern
// "yyyy-MM-dd 'at' h.mm.ss a", in the user's locale and time zone (so the
// AM/PM marker follows the locale), e.g. "Zarvex 2025-03-07 at 4.05.09 PM".
std::string recordingFolderName(std::chrono::system_clock::time_point time);

// The folder `name` in `directory`, or, when that name is taken, the first of
// "name 2", "name 3", … that is free.
std::filesystem::path freeRecordingFolder(const std::filesystem::path& directory,
                                          const std::string& name);

// Creates `directory` (with missing parents) and in it a new, empty recording
// folder named as freeRecordingFolder() does; the folder is made atomically,
// so recordings started in the same second, by this process or another, never
// share one. Returns the folder. Throws FileError.
std::filesystem::path createRecordingFolder(const std::filesystem::path& directory,
                                            const std::string& name);

}  // namespace zarvex
