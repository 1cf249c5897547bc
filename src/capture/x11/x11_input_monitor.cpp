#include <xcb/randr.h>
#include <xcb/xinput.h>

#include <atomic>
#include <thread>

#include "capture/x11/server_time.h"
#include "capture/x11/x11_backend.h"
#include "capture/x11/x11_connection.h"
#include "capture/x11/x11_desktop.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

using namespace x11;

// Buttons as the X server numbers them, before any left-handed remapping:
// raw events report the physical button.
constexpr std::uint32_t kLeftButton = 1;
constexpr std::uint32_t kRightButton = 3;

// How long stopping waits for the monitor thread before it cuts the connection.
constexpr std::chrono::milliseconds kStopGrace{500};

class X11MonitorToken final : public InputMonitorToken {
  public:
    X11MonitorToken(const X11Options& options, MouseEventMask mask, InputMonitor::Handler handler)
        : connection_(options.displayName),
          clock_(*options.clock),
          scale_(options.scaleForOutput),
          mask_(mask),
          handler_(std::move(handler)) {
        xcb_connection_t* c = connection_.get();
        const auto xinput = connection_.extension(&xcb_input_id);
        auto version =
            xinput ? reply(c, xcb_input_xi_query_version_reply, xcb_input_xi_query_version(c, 2, 2))
                   : nullptr;
        if (!version || version->major_version < 2) {
            throw ScreenCaptureError("The X display has no XInput 2, needed to see mouse clicks.");
        }
        xinputOpcode_ = xinput->major_opcode;
        randrEvents_ = selectMonitorChanges(connection_);
        if (randrEvents_) {
            randrEventBase_ = connection_.extension(&xcb_randr_id)->first_event;
        }
        monitors_ = readMonitors(connection_, scale_);
        serverTime_ = calibrateServerTime(connection_, clock_);

        struct {
            xcb_input_event_mask_t head;
            std::uint32_t mask;
        } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
        // Checked, so the selection is in force when the constructor returns.
        if (!succeeded(
                c, xcb_input_xi_select_events_checked(c, connection_.root(), 1, &selection.head))) {
            throw ScreenCaptureError("Cannot watch mouse clicks on the X display.");
        }
        thread_.start("mouse-monitor", [this] { run(); });
    }

    ~X11MonitorToken() override {
        stopping_ = true;
        wakeup_.signal();
        // A server that stopped answering mid-click is cut off: the clicks end there.
        thread_.join(connection_, kStopGrace);
    }

  private:
    void run() {
        while (!stopping_ && !connection_.failed()) {
            XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())};
            if (!event) {
                waitForEvents(connection_, wakeup_, -1);
                continue;
            }
            handle(event.get());
        }
    }

    void handle(const xcb_generic_event_t* event) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (randrEvents_ && (type == randrEventBase_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                             type == randrEventBase_ + XCB_RANDR_NOTIFY)) {
            monitors_ = readMonitors(connection_, scale_);
            return;
        }
        if (type != XCB_GE_GENERIC) {
            return;
        }
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if (generic->extension != xinputOpcode_ ||
            generic->event_type != XCB_INPUT_RAW_BUTTON_PRESS) {
            return;
        }
        const auto* press = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
        MouseEvent mouse;
        if (press->detail == kLeftButton) {
            mouse.type = MouseEventType::leftMouseDown;
        } else if (press->detail == kRightButton) {
            mouse.type = MouseEventType::rightMouseDown;
        } else {
            return;
        }
        if ((mask_ & eventMask(mouse.type)) == 0) {
            return;
        }
        // Raw events carry no position: the pointer is read now, which for a
        // press is where it happened.
        auto pointer = reply(connection_.get(), xcb_query_pointer_reply,
                             xcb_query_pointer(connection_.get(), connection_.root()));
        if (!pointer) {
            return;
        }
        mouse.timestamp = serverTime_.toHost(press->time, clock_.now());
        mouse.location =
            pointFromPixel(monitors_, Point{double(pointer->root_x), double(pointer->root_y)});
        try {
            handler_(mouse);
        } catch (...) {
            // Nothing on this thread could report it; the press is lost, the
            // monitor goes on.
        }
    }

    X11Connection connection_;
    const Clock& clock_;
    ScaleForOutput scale_;
    const MouseEventMask mask_;
    const InputMonitor::Handler handler_;
    std::uint8_t xinputOpcode_ = 0;
    bool randrEvents_ = false;
    std::uint8_t randrEventBase_ = 0;
    std::vector<MonitorGeometry> monitors_;
    ServerTime serverTime_;
    Wakeup wakeup_;
    std::atomic<bool> stopping_{false};
    ConnectionThread thread_;
};

class X11InputMonitor final : public InputMonitor {
  public:
    explicit X11InputMonitor(const X11Options& options) : options_(options) {}

    std::unique_ptr<InputMonitorToken> addGlobalMonitor(MouseEventMask mask,
                                                        Handler handler) override {
        return std::make_unique<X11MonitorToken>(options_, mask, std::move(handler));
    }

  private:
    X11Options options_;
};

}  // namespace

std::unique_ptr<InputMonitor> makeX11InputMonitor(const X11Options& options) {
    // Opening (and closing) a connection here reports a missing display at once.
    x11::X11Connection probe(options.displayName);
    return std::make_unique<X11InputMonitor>(options);
}

}  // namespace zarvex
