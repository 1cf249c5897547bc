#include "pulse_daemon.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace zarvex::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 20s;
constexpr auto kStopTimeout = 5s;

// The daemon's environment: ours, with the runtime folder and home moved into
// its private folder (so no cookie, pid file or socket is shared with other
// daemons) and without anything that would make it reach a session bus, an X
// display or another server.
std::vector<std::string> daemonEnvironment(const std::filesystem::path& folder) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('='));
        if (name != "XDG_RUNTIME_DIR" && name != "HOME" && name != "DISPLAY" &&
            name != "DBUS_SESSION_BUS_ADDRESS" && name != "PULSE_SERVER") {
            env.emplace_back(text);
        }
    }
    env.push_back("XDG_RUNTIME_DIR=" + folder.string());
    env.push_back("HOME=" + folder.string());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

bool exited(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

PulseDaemon::PulseDaemon(const std::vector<std::string>& extraModules) {
    const std::string folder = dir_.path().string();
    server_ = "unix:" + folder + "/native";
    std::vector<std::string> argv = {
        "pulseaudio",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--system=false",
        "-n",
        "--disallow-exit",
        "--use-pid-file=false",
        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + folder + "/native",
        std::string("--load=module-null-sink sink_name=") + kSinkName + " rate=48000 channels=2",
        "--load=module-always-sink",
    };
    for (const auto& module : extraModules) {
        argv.push_back("--load=" + module);
    }
    auto env = daemonEnvironment(dir_.path());
    auto args = pointers(argv);
    auto envp = pointers(env);
    const std::string logPath = folder + "/daemon.log";

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned =
        posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start pulseaudio: " + std::string(std::strerror(spawned)));
    }

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (runClient({"pactl", "info"}).exitCode != 0) {
        if (exited(pid_)) {
            pid_ = -1;
            throw std::runtime_error("pulseaudio exited at start:\n" + readText(logPath));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            throw std::runtime_error("pulseaudio did not come up:\n" + readText(logPath));
        }
        std::this_thread::sleep_for(50ms);
    }
}

PulseDaemon::~PulseDaemon() {
    stop();
}

void PulseDaemon::stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    while (!exited(pid_)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
}

ProcessResult PulseDaemon::runClient(const std::vector<std::string>& argv) const {
    std::vector<std::string> withServer = {"env", "PULSE_SERVER=" + server_};
    withServer.insert(withServer.end(), argv.begin(), argv.end());
    return runProcess(withServer);
}

}  // namespace zarvex::testing
