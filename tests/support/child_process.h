#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zarvex::testing {

// A program running beside a test (a server, a window manager, a helper),
// stopped when the object goes away: SIGTERM, then SIGKILL if it lingers.
// Its stdin and stdout are pipes to the test; stderr goes to the test's
// unless it is quiet.
class ChildProcess {
  public:
    struct Options {
        // Added to (or replacing entries of) the test's environment.
        std::map<std::string, std::string> environment{};
        // Its stderr goes to /dev/null instead of the test's.
        bool quiet = false;
    };

    // Starts the program (looked up in PATH when the name has no slash).
    explicit ChildProcess(const std::vector<std::string>& argv, Options options);
    explicit ChildProcess(const std::vector<std::string>& argv) : ChildProcess(argv, Options{}) {}
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // One line (without its newline) from the child's stdout; nothing when it
    // closes or `timeout` passes first.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    // Writes to the child's stdin.
    void write(const std::string& text);

    // Whether the child has ended by itself (it is not reaped here).
    bool exited() const;

    // Stops the child and returns its exit code (128 + signal when killed).
    int stop();

  private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    std::string stdoutBuffer_;
    std::optional<int> exitCode_;
};

}  // namespace zarvex::testing
