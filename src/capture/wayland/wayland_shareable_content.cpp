#include <QGuiApplication>
#include <QScreen>
#include <mutex>

#include "capture/wayland/wayland_backend.h"

namespace zarvex {
namespace {

Rect toRect(const QRect& rect) {
    return Rect{double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

// A snapshot of the screens, taken on the GUI thread whenever they change.
class WaylandShareableContent final : public ShareableContentSource {
  public:
    explicit WaylandShareableContent(std::shared_ptr<PickedWindows> picked)
        : picked_(std::move(picked)) {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (app == nullptr) {
            throw ScreenCaptureError("The desktop's screens cannot be read without a GUI.");
        }
        const auto follow = [this](QScreen* screen) {
            QObject::connect(screen, &QScreen::geometryChanged, &context_, [this] { update(); });
            QObject::connect(screen, &QScreen::physicalDotsPerInchChanged, &context_,
                             [this] { update(); });
        };
        for (QScreen* screen : QGuiApplication::screens()) {
            follow(screen);
        }
        QObject::connect(app, &QGuiApplication::screenAdded, &context_, [this, follow](QScreen* s) {
            follow(s);
            update();
        });
        QObject::connect(app, &QGuiApplication::screenRemoved, &context_, [this] { update(); });
        QObject::connect(app, &QGuiApplication::primaryScreenChanged, &context_,
                         [this] { update(); });
        update();
    }

    ShareableContent content() override {
        std::unique_lock lock(mutex_);
        ShareableContent content = content_;
        lock.unlock();
        if (picked_) {
            content.windows = picked_->list();
        }
        return content;
    }

    std::optional<Rect> windowFrame(WindowID) override { return std::nullopt; }

  private:
    void update() {
        ShareableContent content;
        const QScreen* primary = QGuiApplication::primaryScreen();
        for (const QScreen* screen : QGuiApplication::screens()) {
            const std::string name = screen->name().toStdString();
            ShareableDisplay display{waylandDisplayID(name), name, toRect(screen->geometry()),
                                     screen->devicePixelRatio(), screen == primary};
            if (display.primary) {
                content.displays.insert(content.displays.begin(), std::move(display));
            } else {
                content.displays.push_back(std::move(display));
            }
        }
        std::lock_guard lock(mutex_);
        content_ = std::move(content);
    }

    std::shared_ptr<PickedWindows> picked_;
    QObject context_;
    std::mutex mutex_;
    ShareableContent content_;
};

}  // namespace

DisplayID waylandDisplayID(const std::string& outputName) {
    // FNV-1a: the same name gives the same number in every process.
    std::uint32_t hash = 2166136261u;
    for (const unsigned char c : outputName) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash == 0 ? 1 : hash;
}

std::unique_ptr<ShareableContentSource> makeWaylandShareableContent(
    std::shared_ptr<PickedWindows> picked) {
    return std::make_unique<WaylandShareableContent>(std::move(picked));
}

}  // namespace zarvex
