#include "capture/session_type.h"

#include <cstdlib>
#include <string_view>

namespace zarvex {

SessionType sessionTypeOf(const char* waylandDisplay, const char* xdgSessionType) {
    if (waylandDisplay != nullptr && *waylandDisplay != '\0') {
        return SessionType::wayland;
    }
    if (xdgSessionType != nullptr && std::string_view(xdgSessionType) == "wayland") {
        return SessionType::wayland;
    }
    return SessionType::x11;
}

SessionType currentSessionType() {
    return sessionTypeOf(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
}

}  // namespace zarvex
