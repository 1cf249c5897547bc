#include "pulse_daemon.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace zarvex::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 20s;

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
    // The runtime folder and home move into the private folder, so no cookie,
    // pid file or socket is shared with other daemons; that is also what lets
    // it run as root. No display or session bus to attach to.
    process_.emplace(
        argv, ChildProcess::Options{.environment = {{"XDG_RUNTIME_DIR", folder},
                                                    {"HOME", folder},
                                                    {"DISPLAY", ""},
                                                    {"DBUS_SESSION_BUS_ADDRESS", "disabled:"}},
                                    .quiet = true});

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (runClient({"pactl", "info"}).exitCode != 0) {
        if (process_->exited()) {
            throw std::runtime_error("pulseaudio exited at start");
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("pulseaudio did not come up");
        }
        std::this_thread::sleep_for(50ms);
    }
}

ProcessResult PulseDaemon::runClient(const std::vector<std::string>& argv) const {
    std::vector<std::string> withServer = {"env", "PULSE_SERVER=" + server_};
    withServer.insert(withServer.end(), argv.begin(), argv.end());
    return runProcess(withServer);
}

void PulseDaemon::addMicrophone() const {
    for (const std::vector<std::string>& command : {
             std::vector<std::string>{"pactl", "load-module", "module-null-sink",
                                      std::string("sink_name=") + kMicSinkName, "rate=48000",
                                      "channels=2"},
             {"pactl", "load-module", "module-remap-source", "source_name=mic",
              std::string("master=") + kMicSinkName + ".monitor"},
             {"pactl", "set-default-source", "mic"},
             {"pactl", "set-default-sink", kSinkName},
         }) {
        if (runClient(command).exitCode != 0) {
            throw std::runtime_error("pulseaudio refused " + command[1]);
        }
    }
}

}  // namespace zarvex::testing
