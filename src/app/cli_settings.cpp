#include <ostream>

#include "app/cli.h"
#include "app/settings_window.h"
#include "app/single_instance.h"
#include "ui/gui_application.h"

namespace zarvex {

int runSettings(const std::vector<std::string>& args, CommandLineIO io) {
    if (!args.empty()) {
        io.err << "zarvex settings: takes no arguments\n";
        return kExitUsage;
    }
    GuiApplication gui({"zarvex"});
    // The running Zarvex shows it, so a new shortcut reaches its hotkey.
    SingleInstance instance(SingleInstance::defaultDirectory(), SingleInstance::defaultSession());
    if (instance.handOver({"settings"})) {
        return kExitOk;
    }
    SettingsWindow::showShared();
    return gui.exec();
}

}  // namespace zarvex
