#include "app/session_capture.h"

#include <QGuiApplication>

#include "capture/session_type.h"
#include "capture/wayland/wayland_backend.h"
#include "capture/x11/x11_backend.h"

namespace zarvex {
namespace {

std::shared_ptr<void> waylandToolkit() {
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    }
    static int argc = 1;
    static char name[] = "zarvex";
    static char* argv[] = {name, nullptr};
    return std::make_shared<QGuiApplication>(argc, argv);
}

std::string_view tokenKey(CastSourceType type) {
    return type == CastSourceType::window ? prefs::screenCastWindowToken
                                          : prefs::screenCastMonitorToken;
}

}  // namespace

SessionCapture makeSessionCapture(Preferences* preferences) {
    SessionCapture capture;
    if (currentSessionType() == SessionType::x11) {
        capture.content = makeX11ShareableContent();
        if (preferences != nullptr) {
            capture.screenCapture = makeX11ScreenCapture();
            capture.inputMonitor = makeX11InputMonitor();
        }
        return capture;
    }
    capture.toolkit = waylandToolkit();
    capture.content = makeWaylandShareableContent();
    if (preferences != nullptr) {
        WaylandOptions options;
        options.tokens.load = [preferences](CastSourceType type) {
            return preferences->text(tokenKey(type)).value_or(std::string());
        };
        options.tokens.save = [preferences](CastSourceType type, const std::string& token) {
            preferences->setText(tokenKey(type), token);
        };
        capture.screenCapture = makeWaylandScreenCapture(options);
    }
    return capture;
}

}  // namespace zarvex
