#include "wayland_desktop.h"

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <stdexcept>
#include <thread>

namespace zarvex::testing {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string text(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

WaylandDesktop::WaylandDesktop(const std::vector<fs::path>& programs, int width, int height) {
    std::vector<std::string> argv = {"bash", ZARVEX_WAYLAND_SESSION, folder_, std::to_string(width),
                                     std::to_string(height)};
    argv.insert(argv.end(), programs.begin(), programs.end());
    // The session's user goes through this folder to its own.
    fs::permissions(root_.path(), fs::perms::others_exec | fs::perms::group_exec,
                    fs::perm_options::add);
    session_ = std::make_unique<ChildProcess>(argv, ChildProcess::Options{.quiet = true});
    for (auto line = session_->readLine(60s); line; line = session_->readLine(60s)) {
        if (*line == "ready") {
            return;
        }
        environment_[line->substr(0, line->find('='))] = line->substr(line->find('=') + 1);
    }
    for (const char* log : {"sway.log", "portal.log", "standin.log"}) {
        std::cerr << "--- " << log << "\n" << text(folder_ / "run" / log);
    }
    stop();
    throw std::runtime_error("the Wayland test desktop did not start");
}

WaylandDesktop::~WaylandDesktop() {
    stop();
}

void WaylandDesktop::stop() {
    for (const int signal : {SIGCONT, SIGTERM}) {
        for (const pid_t pid : processes()) {
            ::kill(pid, signal);
        }
    }
    for (int i = 0; i < 40 && !processes().empty(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    for (const pid_t pid : processes()) {
        ::kill(pid, SIGKILL);
    }
    session_.reset();
}

// Whatever runs with the session's runtime folder: the session and all it
// started, wherever they were reparented.
std::vector<pid_t> WaylandDesktop::processes() const {
    const std::string marker = "XDG_RUNTIME_DIR=" + (folder_ / "run").string();
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == marker) {
                pids.push_back(std::stoi(entry.path().filename()));
                break;
            }
        }
    }
    return pids;
}

std::vector<std::string> WaylandDesktop::asUser(const std::vector<std::string>& argv) const {
    std::vector<std::string> command = {"env"};
    if (::getuid() == 0) {
        command = {"runuser", "-u", environment_.at("USER"), "--", "env"};
    }
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
                                                    pid_t& pid) const {
    std::vector<std::string> command = {"bash", "-c", "echo $$; exec \"$@\"", "bash"};
    command.insert(command.end(), argv.begin(), argv.end());
    auto process =
        std::make_unique<ChildProcess>(asUser(command), ChildProcess::Options{.quiet = true});
    pid = std::stoi(process->readLine(10s).value_or("0"));
    return process;
}

}  // namespace zarvex::testing
