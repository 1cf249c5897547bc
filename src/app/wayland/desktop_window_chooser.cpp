#include "app/wayland/desktop_window_chooser.h"

#include <QGuiApplication>
#include <QScreen>

#include "capture/errors.h"
#include "flow/awaitables.h"

namespace zarvex {
namespace {

struct Chosen {
    std::optional<WindowPick> pick;
    std::string token;
};

}  // namespace

DesktopWindowChooser::DesktopWindowChooser(std::shared_ptr<PickedWindows> picked,
                                           std::function<void(const std::string&)> keepToken)
    : picked_(std::move(picked)), keepToken_(std::move(keepToken)) {}

DesktopWindowChooser::~DesktopWindowChooser() = default;

bool DesktopWindowChooser::offersWindows() {
    if (!offered_) {
        // One quick question to the portal, asked once.
        try {
            const auto types = ScreenCastPortal::connect()->availableSourceTypes();
            offered_ = (types & static_cast<std::uint32_t>(CastSourceType::window)) != 0;
        } catch (const std::exception&) {
            offered_ = false;
        }
    }
    return *offered_;
}

QCoro::Task<std::optional<WindowPick>> DesktopWindowChooser::choose(bool showsCursor) {
    // A window whose size the desktop does not tell is recorded at the
    // primary screen's, scaled to fit.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const Size fallback = primary
                              ? Size{primary->size().width() * 1.0, primary->size().height() * 1.0}
                              : Size{1280, 720};
    PickedWindows* picked = picked_.get();
    const Chosen chosen = co_await onQueue(queue_, [picked, showsCursor, fallback]() -> Chosen {
        std::unique_ptr<ScreenCast> cast;
        try {
            cast = ScreenCastPortal::connect()->start(
                {CastSourceType::window, showsCursor, std::string()});
        } catch (const PermissionError&) {
            return {};  // the user closed the dialog: nothing picked
        }
        const CastStream& stream = cast->streams().front();
        const Size size = stream.frame && stream.frame->width > 0 && stream.frame->height > 0
                              ? Size{stream.frame->width * 1.0, stream.frame->height * 1.0}
                              : fallback;
        std::string token = cast->restoreToken();
        // The place of a window is the desktop's secret: the pick has none.
        const WindowID id = picked->add(std::move(cast), size);
        return {WindowPick{id, Rect{}, "Window"}, std::move(token)};
    });
    if (chosen.pick && !chosen.token.empty() && keepToken_) {
        keepToken_(chosen.token);
    }
    co_return chosen.pick;
}

void DesktopWindowChooser::keepOnly(std::optional<WindowID> kept) {
    // Each cast let go closes its portal session: not on the main thread.
    queue_.post([picked = picked_, kept] { picked->keepOnly(kept); });
}

}  // namespace zarvex
