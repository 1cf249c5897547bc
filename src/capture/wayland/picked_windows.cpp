#include "capture/wayland/picked_windows.h"

namespace zarvex {

WindowID PickedWindows::add(std::unique_ptr<ScreenCast> cast, Size size) {
    std::lock_guard lock(mutex_);
    const WindowID id = next_++;
    picks_[id] = {std::move(cast), size};
    return id;
}

std::unique_ptr<ScreenCast> PickedWindows::take(WindowID id) {
    std::lock_guard lock(mutex_);
    const auto found = picks_.find(id);
    if (found == picks_.end()) {
        return nullptr;
    }
    std::unique_ptr<ScreenCast> cast = std::move(found->second.cast);
    picks_.erase(found);
    return cast;
}

void PickedWindows::keepOnly(std::optional<WindowID> kept) {
    std::map<WindowID, Pick> dropped;
    {
        std::lock_guard lock(mutex_);
        for (auto it = picks_.begin(); it != picks_.end();) {
            if (kept && it->first == *kept) {
                ++it;
            } else {
                dropped.insert(picks_.extract(it++));
            }
        }
    }
    // The casts end here, outside the lock (each closes its portal session).
}

std::vector<ShareableWindow> PickedWindows::list() const {
    std::lock_guard lock(mutex_);
    std::vector<ShareableWindow> windows;
    for (const auto& [id, pick] : picks_) {
        ShareableWindow window;
        window.id = id;
        window.frame = Rect{0, 0, pick.size.width, pick.size.height};
        windows.push_back(window);
    }
    return windows;
}

}  // namespace zarvex
