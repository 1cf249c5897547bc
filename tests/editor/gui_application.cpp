#include "gui_application.h"

#include <cstdlib>

namespace zarvex::testing {
namespace {

struct Running {
    Xvfb server{1280, 800};
    std::unique_ptr<QApplication> application;

    Running() {
        setenv("DISPLAY", server.display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "gui_test";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
};

Running& running() {
    // Never destroyed: the application outlives every test, and Xvfb goes
    // with the process.
    static Running* instance = new Running;
    return *instance;
}

}  // namespace

QApplication& GuiApplication::instance() {
    return *running().application;
}

const Xvfb& GuiApplication::server() {
    return running().server;
}

}  // namespace zarvex::testing
