#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zarvex::testing {

struct ProcessResult {
    int exitCode = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// Runs a program (looked up in PATH when the name has no slash) to completion
// and collects its output.
ProcessResult runProcess(const std::vector<std::string>& argv);

// Polls `condition` `every` so often until it holds or `timeout` passes (for
// waits on other processes, where no event loop needs to run).
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(20),
                std::chrono::milliseconds every = std::chrono::milliseconds(10));

}  // namespace zarvex::testing
