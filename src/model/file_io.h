#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zarvex {

// A file that could not be read or written; the message names the file and
// carries the system's reason.
class FileError : public std::runtime_error {
  public:
    FileError(const std::filesystem::path& path, std::string_view action, int errorNumber);
    int errorNumber() const { return errorNumber_; }

  private:
    int errorNumber_;
};

std::string readFile(const std::filesystem::path& path);

// Writes `bytes` to a new temporary file beside `path`, flushes it to disk and
// renames it over `path`, so readers see either the old or the new content,
// never a torn file. On failure the temporary file is removed, `path` is left
// as it was, and FileError is thrown.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// A file name stored in a project file must name something inside the folder:
// not absolute, not empty, no ".." component.
bool isContainedRelativePath(std::string_view name);

}  // namespace zarvex
