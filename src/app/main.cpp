#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/tray_application.h"
#include "media/heap_tuning.h"

int main(int argc, char** argv) {
    zarvex::keepLargeBuffersInHeap();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return zarvex::runTrayApplication();
    }
    return zarvex::runCommandLine(args, {std::cout, std::cerr});
}
