#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/shareable_content.h"
#include "capture/wayland/screencast_portal.h"

namespace zarvex {

// Windows the user picked in the desktop's chooser, each with the cast the
// desktop started for it, until a recording takes the cast over or the pick
// is let go (which ends the cast). The desktop tells a window's size, never
// its place: a picked window lies at (0, 0). Any thread.
class PickedWindows {
  public:
    // Keeps the cast of a window of `size` (points); its identifier (never 0).
    WindowID add(std::unique_ptr<ScreenCast> cast, Size size);
    // The cast of a picked window, handed over once; null when unknown.
    std::unique_ptr<ScreenCast> take(WindowID id);
    // Lets every pick but `kept` go.
    void keepOnly(std::optional<WindowID> kept);
    // The picks as shareable windows.
    std::vector<ShareableWindow> list() const;

  private:
    struct Pick {
        std::unique_ptr<ScreenCast> cast;
        Size size;
    };
    mutable std::mutex mutex_;
    std::map<WindowID, Pick> picks_;
    WindowID next_ = 1;
};

}  // namespace zarvex
