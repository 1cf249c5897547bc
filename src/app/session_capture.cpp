#include "app/session_capture.h"

#include <QGuiApplication>
#include <QPointer>

#include <map>
#include <mutex>

#include "app/wayland/desktop_window_chooser.h"
#include "capture/session_type.h"
#include "capture/wayland/wayland_backend.h"
#include "capture/x11/x11_backend.h"

namespace zarvex {
namespace {

std::shared_ptr<void> waylandToolkit() {
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;
    }
    preferWaylandToolkit();
    static int argc = 1;
    static char name[] = "zarvex";
    static char* argv[] = {name, nullptr};
    return std::make_shared<QGuiApplication>(argc, argv);
}

std::string_view tokenKey(CastSourceType type) {
    return type == CastSourceType::window ? prefs::screenCastWindowToken
                                          : prefs::screenCastMonitorToken;
}

// Tokens kept for a recording thread: a copy read under a lock, written
// through to the preferences on their own thread.
class QueuedTokens {
  public:
    QueuedTokens(Preferences& preferences, QObject& mainThread)
        : preferences_(preferences), mainThread_(&mainThread) {
        for (CastSourceType type : {CastSourceType::monitor, CastSourceType::window}) {
            tokens_[type] = preferences.text(tokenKey(type)).value_or(std::string());
        }
    }

    std::string load(CastSourceType type) {
        std::lock_guard lock(mutex_);
        return tokens_[type];
    }

    void save(CastSourceType type, const std::string& token) {
        {
            std::lock_guard lock(mutex_);
            tokens_[type] = token;
        }
        QMetaObject::invokeMethod(
            mainThread_.data(),
            [preferences = &preferences_, type, token] {
                preferences->setText(tokenKey(type), token);
            },
            Qt::QueuedConnection);
    }

  private:
    Preferences& preferences_;
    QPointer<QObject> mainThread_;
    std::mutex mutex_;
    std::map<CastSourceType, std::string> tokens_;
};

}  // namespace

void preferWaylandToolkit() {
    if (currentSessionType() == SessionType::wayland &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    }
}

DesktopCapture makeDesktopCapture(Preferences& preferences, QObject& mainThread,
                                  const X11Options& x11) {
    DesktopCapture capture;
    capture.session = currentSessionType();
    if (capture.session == SessionType::x11) {
        capture.uiContent = makeX11ShareableContent(x11);
        capture.captureContent = makeX11ShareableContent(x11);
        capture.screenCapture = makeX11ScreenCapture(x11);
        capture.inputMonitor = makeX11InputMonitor(x11);
        return capture;
    }
    auto picked = std::make_shared<PickedWindows>();
    capture.uiContent = makeWaylandShareableContent(picked);
    capture.captureContent = makeWaylandShareableContent(picked);
    auto tokens = std::make_shared<QueuedTokens>(preferences, mainThread);
    capture.windowChooser = std::make_unique<DesktopWindowChooser>(
        picked,
        [tokens](const std::string& token) { tokens->save(CastSourceType::window, token); });
    WaylandOptions options;
    options.clock = x11.clock;
    options.pickedWindows = picked;
    options.tokens.load = [tokens](CastSourceType type) { return tokens->load(type); };
    options.tokens.save = [tokens](CastSourceType type, const std::string& token) {
        tokens->save(type, token);
    };
    capture.screenCapture = makeWaylandScreenCapture(options);
    return capture;
}

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
    capture.pickedWindows = std::make_shared<PickedWindows>();
    capture.content = makeWaylandShareableContent(capture.pickedWindows);
    if (preferences != nullptr) {
        WaylandOptions options;
        options.pickedWindows = capture.pickedWindows;
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

WindowID pickWindow(SessionCapture& capture, Preferences& preferences, bool showsCursor) {
    const std::string_view key = tokenKey(CastSourceType::window);
    std::unique_ptr<ScreenCast> cast = ScreenCastPortal::connect()->start(
        {CastSourceType::window, showsCursor, preferences.text(key).value_or(std::string())});
    preferences.setText(key, cast->restoreToken());
    const CastStream& stream = cast->streams().front();
    // A window whose size is not told is recorded at the size of the display.
    Size size{1280, 720};
    if (stream.frame && stream.frame->width > 0 && stream.frame->height > 0) {
        size = {stream.frame->width * 1.0, stream.frame->height * 1.0};
    } else if (const auto displays = capture.content->content().displays; !displays.empty()) {
        size = displays.front().frame.size();
    }
    return capture.pickedWindows->add(std::move(cast), size);
}

}  // namespace zarvex
