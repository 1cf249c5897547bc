#include "wayland_desktop.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zarvex::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kUser = "zarvex-wayland";

std::string ensureUser() {
    if (::getuid() != 0) {
        return {};
    }
    if (runProcess({"id", "-u", kUser}).exitCode != 0) {
        // Another test program may make it at the same moment: check again.
        runProcess({"useradd", "--system", "--user-group", "--no-create-home", "--shell",
                    "/usr/sbin/nologin", kUser});
        if (runProcess({"id", "-u", kUser}).exitCode != 0) {
            throw std::runtime_error("cannot create the test user " + std::string(kUser));
        }
    }
    return kUser;
}

// Processes whose environment names `runtimeDir`: the session and whatever it
// started, wherever they were reparented.
std::vector<pid_t> sessionProcesses(const fs::path& runtimeDir) {
    const std::string marker = "XDG_RUNTIME_DIR=" + runtimeDir.string();
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == marker) {
                pids.push_back(std::stoi(name));
                break;
            }
        }
    }
    return pids;
}

}  // namespace

WaylandDesktop::WaylandDesktop(const fs::path& standIn, const std::vector<fs::path>& programs)
    : run_(root_ / "run"), user_(ensureUser()) {
    fs::create_directories(root_ / "bin");
    fs::create_directories(home());
    fs::create_directories(run_);
    fs::permissions(root_.path(), fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
    fs::permissions(run_, fs::perms::owner_all);
    const fs::path script = fs::path(__FILE__).parent_path() / "wayland" / "wayland_session.sh";
    for (const auto& file : programs) {
        fs::copy_file(file, program(file));
    }
    fs::copy_file(standIn, program(standIn));
    fs::copy_file(script, program(script));
    if (!user_.empty()) {
        runProcess({"chown", "-R", user_ + ":" + user_, home().string(), run_.string()});
    }
    environment_ = {{"XDG_RUNTIME_DIR", run_.string()},
                    {"HOME", home().string()},
                    {"XDG_CONFIG_HOME", (home() / ".config").string()},
                    {"PULSE_SERVER", "unix:" + (run_ / "no-pulse").string()}};
    session_ = std::make_unique<ChildProcess>(
        asUser({"dbus-run-session", "--", program(script).string(), program(standIn).string()}),
        ChildProcess::Options{.quiet = true});
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto line = session_->readLine(1s);
        if (line == "ready") {
            return;
        }
        if (line && line->find('=') != std::string::npos) {
            environment_[line->substr(0, line->find('='))] = line->substr(line->find('=') + 1);
        } else if (!line && session_->exited()) {
            break;
        }
    }
    for (const char* log : {"sway.log", "portal.log", "standin.log", "wireplumber.log"}) {
        std::ifstream in(run_ / log);
        std::cerr << "--- " << log << "\n" << in.rdbuf() << "\n";
    }
    stopSession();
    throw std::runtime_error("the Wayland test desktop did not start");
}

WaylandDesktop::~WaylandDesktop() {
    stopSession();
}

void WaylandDesktop::stopSession() {
    for (const int signal : {SIGCONT, SIGTERM}) {
        for (const pid_t pid : sessionProcesses(run_)) {
            ::kill(pid, signal);
        }
    }
    for (int i = 0; i < 40 && !sessionProcesses(run_).empty(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    for (const pid_t pid : sessionProcesses(run_)) {
        ::kill(pid, SIGKILL);
    }
    session_.reset();
}

pid_t WaylandDesktop::processNamed(const std::string& name) const {
    for (const pid_t pid : sessionProcesses(run_)) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string command;
        if (std::getline(comm, command) && command == name) {
            return pid;
        }
    }
    return 0;
}

fs::path WaylandDesktop::program(const fs::path& original) const {
    return root_ / "bin" / original.filename();
}

std::vector<std::string> WaylandDesktop::asUser(const std::vector<std::string>& argv) const {
    std::vector<std::string> command;
    if (!user_.empty()) {
        command = {"runuser", "-u", user_, "--"};
    }
    command.push_back("env");
    for (const auto& [name, value] : environment_) {
        command.push_back(name + "=" + value);
    }
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

ProcessResult WaylandDesktop::run(const std::vector<std::string>& argv) const {
    return runProcess(asUser(argv));
}

std::unique_ptr<ChildProcess> WaylandDesktop::start(const std::vector<std::string>& argv,
                                                    const fs::path& errors) const {
    std::vector<std::string> command = asUser(argv);
    if (!errors.empty()) {
        command = {"bash", "-c", "exec \"$@\" 2>" + errors.string(), "bash"};
        const auto inner = asUser(argv);
        command.insert(command.end(), inner.begin(), inner.end());
    }
    return std::make_unique<ChildProcess>(command);
}

}  // namespace zarvex::testing
