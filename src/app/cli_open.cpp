// zarvex open FOLDER: the recording in its editor window; the command ends
// when the window is closed.
#include <ostream>

#include "app/cli.h"
#include "editor/editor_windows.h"
#include "ui/gui_application.h"

namespace zarvex {

int runOpen(const std::vector<std::string>& args, CommandLineIO io) {
    if (args.size() != 1 || args[0].starts_with("-")) {
        io.err << "Usage: zarvex open FOLDER\n";
        return kExitUsage;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        io.err << "zarvex open: no display to show the window on (DISPLAY is not set)\n";
        return kExitFailure;
    }
    GuiApplication gui({"zarvex"});
    EditorWindows& windows = EditorWindows::shared();
    if (const std::optional<std::string> error = windows.open(args[0])) {
        io.err << *error << "\n";
        return kExitFailure;
    }
    QObject::connect(&windows, &EditorWindows::windowClosed, [&windows] {
        if (windows.count() == 0) {
            QApplication::quit();
        }
    });
    return gui.exec();
}

}  // namespace zarvex
