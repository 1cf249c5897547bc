#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Running the contenders of a benchmark as programs, with their times.
namespace zarvex::bench {

struct Run {
    double seconds = 0;
    double peakMegabytes = 0;
    double cpuSeconds = 0;  // user + system, all threads and children
    int exitCode = -1;
};

// Runs a program with the given extra environment ("NAME=value" entries; its
// standard output going to `output` when given) to its end: wall time, CPU
// time and peak memory.
Run run(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
        const std::filesystem::path& output = {});

// The machine's load averages (1, 5, 15 minutes) as /proc/loadavg has them.
std::string loadAverage();

}  // namespace zarvex::bench
