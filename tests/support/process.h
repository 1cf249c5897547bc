#pragma once

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

}  // namespace zarvex::testing
