#include "capture/x11/x11_connection.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "media/named_thread.h"

namespace zarvex::x11 {

bool succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    XcbPointer<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    return error == nullptr;
}

X11Connection::X11Connection(const std::optional<std::string>& displayName) {
    std::string name;
    if (displayName && !displayName->empty()) {
        name = *displayName;
    } else if (const char* environment = std::getenv("DISPLAY");
               environment != nullptr && *environment != '\0') {
        name = environment;
    } else {
        throw ScreenCaptureError("Cannot open the X display: DISPLAY is not set.");
    }
    int screenNumber = 0;
    connection_ = xcb_connect(name.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw ScreenCaptureError("Cannot open the X display \"" + name + "\".");
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection_);
        throw ScreenCaptureError("The X display \"" + name + "\" has no screen.");
    }
    screen_ = screens.data;
}

X11Connection::~X11Connection() {
    xcb_disconnect(connection_);
}

void X11Connection::requireAlive() const {
    if (failed()) {
        throw ScreenCaptureError("The connection to the X display was lost.");
    }
}

void X11Connection::cutOff() const {
    ::shutdown(xcb_get_file_descriptor(connection_), SHUT_RDWR);
}

ConnectionThread::~ConnectionThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ConnectionThread::start(const std::string& name, std::function<void()> body) {
    done_ = false;
    thread_ = startNamedThread(name, [this, body = std::move(body)] {
        sigset_t pipe;
        ::sigemptyset(&pipe);
        ::sigaddset(&pipe, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        body();
        std::lock_guard lock(mutex_);
        done_ = true;
        ended_.notify_all();
    });
}

bool ConnectionThread::join(const X11Connection& connection, std::chrono::milliseconds grace) {
    if (!thread_.joinable()) {
        return false;
    }
    bool cut = false;
    {
        std::unique_lock lock(mutex_);
        if (!ended_.wait_for(lock, grace, [this] { return done_; })) {
            connection.cutOff();
            cut = true;
        }
    }
    thread_.join();
    return cut;
}

ServerTime calibrateServerTime(X11Connection& connection, const Clock& clock) {
    xcb_connection_t* c = connection.get();
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, window, connection.root(), -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    const xcb_atom_t atom = connection.atom("_ZARVEX_TIME");
    const HostTime before = clock.now();
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, atom, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    ServerTime result;
    while (XcbPointer<xcb_generic_event_t> event{xcb_wait_for_event(c)}) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == window) {
                const HostTime after = clock.now();
                result = ServerTime::calibrated(notify->time, before + (after - before) / 2);
                break;
            }
        }
    }
    xcb_destroy_window(c, window);
    connection.requireAlive();
    return result;
}

xcb_atom_t X11Connection::atom(std::string_view name) {
    std::string key(name);
    if (const auto found = atoms_.find(key); found != atoms_.end()) {
        return found->second;
    }
    auto interned =
        reply(connection_, xcb_intern_atom_reply,
              xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(key.size()), key.data()));
    const xcb_atom_t atom = interned ? interned->atom : xcb_atom_t{XCB_ATOM_NONE};
    atoms_.emplace(std::move(key), atom);
    return atom;
}

Wakeup::Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

Wakeup::~Wakeup() {
    ::close(fd_);
}

void Wakeup::signal() const {
    const std::uint64_t one = 1;
    // A full counter already wakes the reader; nothing to do on failure.
    [[maybe_unused]] const auto written = ::write(fd_, &one, sizeof one);
}

void waitForEvents(const X11Connection& connection, const Wakeup& wakeup, int timeoutMs) {
    pollfd fds[2] = {{xcb_get_file_descriptor(connection.get()), POLLIN, 0},
                     {wakeup.fd(), POLLIN, 0}};
    while (::poll(fds, 2, timeoutMs) < 0 && errno == EINTR) {
    }
}

std::optional<xcb_query_extension_reply_t> X11Connection::extension(xcb_extension_t* id) const {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection_, id);
    if (data == nullptr || !data->present) {
        return std::nullopt;
    }
    return *data;
}

void X11Connection::requireBgrxPixels() const {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    bool thirtyTwoBits = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == screen_->root_depth) {
            thirtyTwoBits = formats.data->bits_per_pixel == 32;
        }
    }
    const xcb_visualtype_t* visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem > 0 && !visual;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == screen_->root_visual) {
                visual = visuals.data;
                break;
            }
        }
    }
    const bool bgrx = visual != nullptr && visual->red_mask == 0xff0000 &&
                      visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
    if (!thirtyTwoBits || !bgrx || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
        screen_->root_depth < 24) {
        throw ScreenCaptureError(
            "This X display's colour format cannot be recorded (24-bit colour is needed).");
    }
}

xcb_get_property_cookie_t requestProperty(X11Connection& connection, xcb_window_t window,
                                          xcb_atom_t property) {
    constexpr std::uint32_t kMaxLongs = 16384;
    return xcb_get_property(connection.get(), 0, window, property, XCB_ATOM_ANY, 0, kMaxLongs);
}

std::optional<std::string> textProperty(X11Connection& connection, xcb_window_t window,
                                        xcb_atom_t property) {
    auto value = reply(connection.get(), xcb_get_property_reply,
                       requestProperty(connection, window, property));
    return decodeText(connection, value.get());
}

std::optional<std::string> decodeText(X11Connection& connection,
                                      const xcb_get_property_reply_t* value) {
    if (value == nullptr || value->format != 8 || value->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto* bytes = static_cast<const unsigned char*>(xcb_get_property_value(value));
    const int length = xcb_get_property_value_length(value);
    if (value->type == connection.atom("UTF8_STRING")) {
        return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    }
    // STRING is ISO 8859-1: each byte is the code point of the same value.
    std::string text;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            text.push_back(static_cast<char>(c));
        } else {
            text.push_back(static_cast<char>(0xc0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        }
    }
    return text;
}

std::optional<std::uint32_t> cardinalProperty(X11Connection& connection, xcb_window_t window,
                                              xcb_atom_t property, xcb_atom_t type) {
    auto value = reply(connection.get(), xcb_get_property_reply,
                       xcb_get_property(connection.get(), 0, window, property, type, 0, 1));
    if (!value || value->format != 32 || xcb_get_property_value_length(value.get()) < 4) {
        return std::nullopt;
    }
    std::uint32_t result = 0;
    std::memcpy(&result, xcb_get_property_value(value.get()), sizeof result);
    return result;
}

}  // namespace zarvex::x11
