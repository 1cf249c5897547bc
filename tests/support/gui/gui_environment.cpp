#include "gui/gui_environment.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "temp_dir.h"
#include "ui/gui_application.h"
#include "xvfb.h"

namespace zarvex::testing {

struct GuiEnvironment::Parts {
    TempDir home;
    std::unique_ptr<Xvfb> server;
    std::unique_ptr<WindowManager> windowManager;
    std::unique_ptr<GuiApplication> application;
};

// Owned by GoogleTest as a global environment: torn down after the last
// test, before static destruction (Qt must not outlive its own statics).
class GuiEnvironmentHolder : public ::testing::Environment {
  public:
    GuiEnvironment environment;
    void TearDown() override { environment.parts_.reset(); }
};

GuiEnvironment::GuiEnvironment() : parts_(std::make_unique<Parts>()) {
    const auto& home = parts_->home.path();
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_SCALE_FACTOR_ROUNDING_POLICY");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    parts_->server = std::make_unique<Xvfb>(1600, 1000);
    ::setenv("DISPLAY", parts_->server->display().c_str(), 1);
    parts_->windowManager = std::make_unique<WindowManager>(*parts_->server);
    parts_->application = std::make_unique<GuiApplication>(std::vector<std::string>{"zarvex"});
}

GuiEnvironment::~GuiEnvironment() = default;

GuiEnvironment& GuiEnvironment::get() {
    static GuiEnvironmentHolder* holder = [] {
        auto* created = new GuiEnvironmentHolder;
        ::testing::AddGlobalTestEnvironment(created);  // GoogleTest owns it
        return created;
    }();
    return holder->environment;
}

const Xvfb& GuiEnvironment::server() const {
    return *parts_->server;
}

GuiApplication& GuiEnvironment::application() {
    return *parts_->application;
}

const std::filesystem::path& GuiEnvironment::home() const {
    return parts_->home.path();
}

bool showAndWait(QWidget& window) {
    window.show();
    window.raise();
    const bool exposed = QTest::qWaitForWindowExposed(&window, 10000);
    QApplication::processEvents();
    return exposed;
}

QImage grabFromScreen(const QWidget& widget) {
    QApplication::processEvents();
    const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
    QScreen* screen = widget.screen();
    return screen
        ->grabWindow(0, origin.x() - screen->geometry().x(), origin.y() - screen->geometry().y(),
                     widget.width(), widget.height())
        .toImage();
}

}  // namespace zarvex::testing

namespace zarvex::testing {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    check.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace zarvex::testing
