#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex::testing {

// The headless Wayland desktop of wayland/wayland_session.sh for one test
// program, with `programs` copied where its user can run them. Construction
// returns once the portal answers; destruction stops every process of it.
class WaylandDesktop {
  public:
    WaylandDesktop(const std::vector<std::filesystem::path>& programs, int width = 1280,
                   int height = 720);
    ~WaylandDesktop();
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    // The copy of a program given at construction.
    std::filesystem::path program(const std::filesystem::path& original) const {
        return folder_ / "bin" / original.filename();
    }
    // The user's home (settings under .config, recordings under Videos).
    std::filesystem::path home() const { return folder_ / "home"; }
    // The screen-cast stand-in's folder ("answer", "log", "cast-pid").
    std::filesystem::path castFolder() const { return folder_ / "run" / "standin"; }

    // Runs a program in the session as its user, to completion, or starts
    // one and tells its process id.
    ProcessResult run(const std::vector<std::string>& argv) const;
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv, pid_t& pid) const;

  private:
    std::vector<std::string> asUser(const std::vector<std::string>& argv) const;
    std::vector<pid_t> processes() const;
    void stop();

    TempDir root_;
    std::filesystem::path folder_ = root_ / "desktop";
    std::map<std::string, std::string> environment_;
    std::unique_ptr<ChildProcess> session_;
};

}  // namespace zarvex::testing
