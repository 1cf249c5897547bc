#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "media/heap_tuning.h"

int main(int argc, char** argv) {
    zarvex::keepLargeBuffersInHeap();
    std::vector<std::string> args(argv + 1, argv + argc);
    const zarvex::CommandLineIO io{std::cout, std::cerr};
    return args.empty() ? zarvex::runTray(io) : zarvex::runCommandLine(args, io);
}
