#include "capture/session_type.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
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

const char* const kNoWaylandCompositor =
    "Zarvex needs the Wayland desktop to record: WAYLAND_DISPLAY is not set or its compositor "
    "cannot be reached.";

bool waylandCompositorReachable() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::string path = name != nullptr && *name != '\0' ? name : "wayland-0";
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr || *runtime == '\0') {
            return false;
        }
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool reached =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return reached;
}

}  // namespace zarvex
