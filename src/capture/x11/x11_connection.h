#pragma once

// Internal to the X11 backend: the XCB connection and helpers every part of
// the backend shares.

#include <xcb/xcb.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "capture/clock.h"
#include "capture/shareable_content.h"
#include "capture/x11/server_time.h"

namespace zarvex::x11 {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// XCB replies and events are malloc'ed and freed by the receiver.
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

// Waits for the reply of `cookie`; nothing when the request failed (the error
// is consumed here instead of surfacing as an event).
template <typename Reply, typename Cookie>
XcbPointer<Reply> reply(xcb_connection_t* connection,
                        Reply* (*wait)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                        Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbPointer<Reply> result(wait(connection, cookie, &error));
    std::free(error);
    return result;
}

// True when a checked request succeeded.
bool succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie);

// One connection to an X server with its first screen. Not copyable; one
// thread at a time except where XCB itself allows more.
class X11Connection {
  public:
    // `displayName` empty → $DISPLAY. Throws ScreenCaptureError naming the
    // display when it cannot be opened.
    explicit X11Connection(const std::optional<std::string>& displayName);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return connection_; }
    xcb_screen_t* screen() const { return screen_; }
    xcb_window_t root() const { return screen_->root; }
    bool failed() const { return xcb_connection_has_error(connection_) != 0; }
    // Throws ScreenCaptureError once the connection has broken.
    void requireAlive() const;
    // Shuts the socket down, from any thread: every wait on the connection,
    // also one for a reply from a server that stopped answering (XCB's waits
    // have no time-out), ends at once and the connection counts as broken.
    void cutOff() const;

    // Interned on first use and cached; XCB_ATOM_NONE when the server refuses.
    xcb_atom_t atom(std::string_view name);

    // The extension's base numbers when the server has it, else nothing.
    std::optional<xcb_query_extension_reply_t> extension(xcb_extension_t* id) const;

    // Throws ScreenCaptureError unless pixels read from the root window are
    // 32-bit little-endian B, G, R, X (24-bit TrueColor), the only layout the
    // backend copies without conversion.
    void requireBgrxPixels() const;

  private:
    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    std::unordered_map<std::string, xcb_atom_t> atoms_;
};

// A backend thread that talks to one connection and can be stopped even when
// the server no longer answers. Its body runs with SIGPIPE blocked, so
// writing to a connection that was cut off fails instead of killing the
// process.
class ConnectionThread {
  public:
    ConnectionThread() = default;
    ~ConnectionThread();  // joins; the body must have been asked to end
    ConnectionThread(const ConnectionThread&) = delete;
    ConnectionThread& operator=(const ConnectionThread&) = delete;

    void start(const std::string& name, std::function<void()> body);
    bool joinable() const { return thread_.joinable(); }
    // After the body has been asked to end: waits up to `grace` for it; when
    // it is still busy (waiting on a silent server), cuts `connection` off so
    // it ends, then joins. True when the connection had to be cut off.
    bool join(const X11Connection& connection, std::chrono::milliseconds grace);

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
};

// Reads a server timestamp by touching a property of a window of our own and
// notes the host time around it. Events read meanwhile are dropped: call it
// before selecting any.
ServerTime calibrateServerTime(X11Connection& connection, const Clock& clock);

// Lets another thread wake one blocked in waitForEvents (an eventfd).
class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    void signal() const;
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// Blocks until the connection has something to read, the wakeup is signalled
// or `timeoutMs` has passed (negative: no limit). Call it only after
// xcb_poll_for_event has returned nothing, so no event waits in XCB's queue.
void waitForEvents(const X11Connection& connection, const Wakeup& wakeup, int timeoutMs);

// The text of a window property of type UTF8_STRING or STRING (ISO 8859-1 is
// converted); nothing when absent. `decodeText` reads a reply already fetched.
std::optional<std::string> textProperty(X11Connection& connection, xcb_window_t window,
                                        xcb_atom_t property);
std::optional<std::string> decodeText(X11Connection& connection,
                                      const xcb_get_property_reply_t* value);

// Asks for up to 64 KiB of any property (no reply awaited).
xcb_get_property_cookie_t requestProperty(X11Connection& connection, xcb_window_t window,
                                          xcb_atom_t property);

// A CARDINAL or WINDOW/PIXMAP-style 32-bit property's first value.
std::optional<std::uint32_t> cardinalProperty(X11Connection& connection, xcb_window_t window,
                                              xcb_atom_t property, xcb_atom_t type);

}  // namespace zarvex::x11
