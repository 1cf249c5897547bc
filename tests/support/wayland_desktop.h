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

// A headless Wayland desktop for one test program (wayland/wayland_session.sh):
// its own D-Bus session, PipeWire, sway with Xwayland at 1280x720 (output
// HEADLESS-1), and the real screen-cast portal in front of the stand-in
// backend (wayland/screencast_standin.cpp). Run as root it runs as an
// unprivileged user made on first use (sway refuses root). Construction
// returns once the portal answers; destruction stops every process of the
// session.
class WaylandDesktop {
  public:
    // `programs`: files copied where the session's user can run them (a build
    // folder under root's home is out of its reach); `standIn` is the backend.
    WaylandDesktop(const std::filesystem::path& standIn,
                   const std::vector<std::filesystem::path>& programs);
    ~WaylandDesktop();
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    // The copy of a program given at construction.
    std::filesystem::path program(const std::filesystem::path& original) const;
    // The user's home (its settings under .config, recordings under Videos).
    std::filesystem::path home() const { return root_ / "home"; }
    // The stand-in's folder: "answer", "log", "cast-pid".
    std::filesystem::path castFolder() const { return run_ / "standin"; }
    // The session's environment for a client: bus, Wayland and X displays.
    const std::map<std::string, std::string>& environment() const { return environment_; }

    // Runs a program in the session as its user, to completion.
    ProcessResult run(const std::vector<std::string>& argv) const;
    // Starts one there (stderr into `errors` when given).
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                        const std::filesystem::path& errors = {}) const;

    // A process of the session with this command name; 0 when there is none.
    pid_t processNamed(const std::string& name) const;

  private:
    std::vector<std::string> asUser(const std::vector<std::string>& argv) const;
    void stopSession();

    TempDir root_;
    std::filesystem::path run_;
    std::string user_;  // empty: the test's own user
    std::map<std::string, std::string> environment_;
    std::unique_ptr<ChildProcess> session_;
};

}  // namespace zarvex::testing
