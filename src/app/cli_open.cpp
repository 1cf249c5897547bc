// zarvex open FOLDER: opens a recording in the running application, or
// starts the application with it.

#include <ostream>

#include "app/cli.h"
#include "app/tray_application.h"
#include "model/project.h"

namespace zarvex {

int runOpen(const std::vector<std::string>& args, CommandLineIO io) {
    if (args.size() != 1) {
        io.err << "Usage: zarvex open FOLDER\n";
        return kExitUsage;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(args[0], error);
    if (error || !isRecordingFolder(folder)) {
        io.err << "Could not open recording: " << kNotARecordingMessage << "\n";
        return kExitFailure;
    }
    return runTrayApplication({"open", folder.lexically_normal().string()});
}

}  // namespace zarvex
