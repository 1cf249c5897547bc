#include "gui_application.h"

#include <gtest/gtest.h>

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

// Owned by GoogleTest as a global environment: after the last test the
// application goes, then its Xvfb (a child process, which would otherwise
// outlive the program).
struct RunningHolder : ::testing::Environment {
    std::unique_ptr<Running> running = std::make_unique<Running>();
    void TearDown() override { running.reset(); }
};

Running& running() {
    static RunningHolder* holder = [] {
        auto* created = new RunningHolder;
        ::testing::AddGlobalTestEnvironment(created);
        return created;
    }();
    return *holder->running;
}

}  // namespace

QApplication& GuiApplication::instance() {
    return *running().application;
}

const Xvfb& GuiApplication::server() {
    return running().server;
}

}  // namespace zarvex::testing
