#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zarvex::testing {

// A fresh directory under the system's temp folder, removed with everything in
// it when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Sets (or unsets, with nullopt) an environment variable for its lifetime and
// restores the previous value afterwards.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

void writeText(const std::filesystem::path& path, std::string_view text);
std::string readText(const std::filesystem::path& path);

}  // namespace zarvex::testing
