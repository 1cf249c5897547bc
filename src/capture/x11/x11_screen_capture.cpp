// Screen streams on X11.
//
// One connection and one thread ("screen-capture") per stream. The thread
// sleeps in poll() until the server reports a change: DAMAGE for pixels,
// XFIXES for the cursor's shape, XInput 2 raw motion for the pointer, RandR
// for displays. Only changed areas are read, with shared-memory GetImage. Each
// delivered frame is a pooled buffer built from the previous frame (with the
// pixels under its cursor put back) and the changed areas on top, or straight
// from the read when everything changed; then the cursor is drawn on it. It
// is taken no sooner than the minimum frame interval after the previous one.
// An unchanged screen costs nothing but the sleeping thread. A window whose
// size differs from the frame's is kept in a canvas of its own size and
// scaled into each frame.
//
// Display streams leave out the windows of the excluded processes: the whole
// display is redirected with Composite (automatic, so it still looks the same),
// and wherever an excluded window's shape lies, the frame is rebuilt from the
// pixmaps of the other windows, bottom to top. Window streams read the
// window's own pixmap through Composite, so covering windows do not show.

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/randr.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "capture/errors.h"
#include "capture/x11/frame_pixels.h"
#include "capture/x11/x11_backend.h"
#include "capture/x11/x11_connection.h"
#include "capture/x11/x11_desktop.h"
#include "capture/x11/x11_image_grabber.h"
#include "media/named_thread.h"

namespace zarvex {
namespace {

using namespace x11;

// Warping the pointer moves it without raw motion events, so while the
// cursor is drawn its position is also checked this often.
constexpr HostTime kPointerCheckInterval = std::chrono::milliseconds(100);

// How long starting waits for the first frame to be delivered.
constexpr std::chrono::milliseconds kFirstFrameWait{1000};

// How long a stop waits for the capture thread before it takes the server
// for hung and cuts the connection.
constexpr std::chrono::milliseconds kStopGrace{1000};

// More damaged rectangles than this are read as their bounding box: one
// larger read is cheaper than many round trips.
constexpr std::size_t kMaxDamageRects = 16;

int toMilliseconds(HostTime time) {
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(time).count());
}

class X11ScreenStream final : public ScreenStream {
  public:
    X11ScreenStream(const X11Options& options, const ContentFilter& filter,
                    const StreamConfiguration& configuration, ScreenStreamOutput& output)
        : connection_(options.displayName),
          clock_(*options.clock),
          scale_(options.scaleForOutput),
          filter_(filter),
          configuration_(configuration),
          output_(output),
          interval_(minimumFrameSpacing(configuration)),
          pool_(PixelFormat::bgra, configuration.width, configuration.height) {
        connection_.requireBgrxPixels();
        serverTime_ = calibrateServerTime(connection_, clock_);
        queryExtensions();
        if (filter_.kind == ContentFilter::Kind::display) {
            setUpDisplay();
        } else {
            setUpWindow();
        }
        if (configuration_.showsCursor) {
            setUpCursor();
        }
        grabber_ = std::make_unique<ImageGrabber>(connection_);
        xcb_flush(connection_.get());
        connection_.requireAlive();
        thread_.start("screen-capture", [this] { run(); });
        // The first frame (the content as it is) is delivered before the
        // stream is handed out: a recording that reads its time origin
        // right after starting the stream has its first picture from before
        // then, and a still screen delivers nothing more.
        std::unique_lock lock(firstMutex_);
        firstDone_.wait_for(lock, kFirstFrameWait, [this] { return firstDelivered_; });
    }

    ~X11ScreenStream() override { stopCapture(); }

    void stopCapture() override {
        std::lock_guard lock(stopMutex_);
        if (!thread_.joinable() || stopped_) {
            return;
        }
        stopped_ = true;
        stopping_ = true;
        wakeup_.signal();
        if (thread_.join(connection_, kStopGrace)) {
            output_.didStopWithError(
                std::make_exception_ptr(ScreenCaptureError("The X display stopped responding.")));
        }
    }

  private:
    struct Offset {
        int x = 0;
        int y = 0;
    };

    // ---- set-up (caller's thread) -------------------------------------------------

    void queryExtensions() {
        xcb_connection_t* c = connection_.get();
        if (const auto damage = connection_.extension(&xcb_damage_id)) {
            if (reply(c, xcb_damage_query_version_reply, xcb_damage_query_version(c, 1, 1))) {
                damageEventBase_ = damage->first_event;
                hasDamage_ = true;
            }
        }
        if (const auto xfixes = connection_.extension(&xcb_xfixes_id)) {
            auto version =
                reply(c, xcb_xfixes_query_version_reply, xcb_xfixes_query_version(c, 4, 0));
            if (version && version->major_version >= 2) {
                xfixesEventBase_ = xfixes->first_event;
                hasXFixes_ = true;
            }
        }
        // Reading damaged areas needs XFIXES regions; without them every
        // change is read in full.
        hasDamage_ = hasDamage_ && hasXFixes_;
        if (connection_.extension(&xcb_composite_id)) {
            auto version =
                reply(c, xcb_composite_query_version_reply, xcb_composite_query_version(c, 0, 4));
            hasComposite_ = version && (version->major_version > 0 || version->minor_version >= 2);
        }
        if (const auto xinput = connection_.extension(&xcb_input_id)) {
            auto version =
                reply(c, xcb_input_xi_query_version_reply, xcb_input_xi_query_version(c, 2, 2));
            if (version && version->major_version >= 2) {
                xinputOpcode_ = xinput->major_opcode;
                hasXInput_ = true;
            }
        }
        if (selectMonitorChanges(connection_)) {
            randrEventBase_ = connection_.extension(&xcb_randr_id)->first_event;
            hasRandrEvents_ = true;
        }
    }

    void setUpDisplay() {
        xcb_connection_t* c = connection_.get();
        monitors_ = readMonitors(connection_, scale_);
        placeSource();
        drawable_ = connection_.root();

        excludeWindows_ = hasComposite_ && !filter_.excludedProcessIDs.empty();
        if (excludeWindows_) {
            // Window pixmaps exist only for redirected windows; automatic
            // redirection keeps the screen looking as before.
            excludeWindows_ =
                succeeded(c, xcb_composite_redirect_subwindows_checked(
                                 c, connection_.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC));
        }
        if (excludeWindows_) {
            const std::uint32_t events =
                XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c, connection_.root(), XCB_CW_EVENT_MASK, &events);
            wallpaperAtom_ = connection_.atom("_XROOTPMAP_ID");
        }
        createDamage(connection_.root());
    }

    // The source rectangle on the root window and the part of it on the
    // display; throws when the display is gone.
    void placeSource() {
        const MonitorGeometry* monitor = nullptr;
        for (const auto& candidate : monitors_) {
            if (candidate.id == filter_.displayID) {
                monitor = &candidate;
            }
        }
        if (monitor == nullptr) {
            throw RecorderError::noDisplay();
        }
        const Rect local = configuration_.sourceRect.value_or(Rect{});
        source_ = sourcePixels(*monitor, local, configuration_.width, configuration_.height);
        valid_ = source_.intersection(monitor->pixels);
        origin_ = {source_.x, source_.y};
    }

    void setUpWindow() {
        xcb_connection_t* c = connection_.get();
        window_ = filter_.windowID;
        auto attributes =
            reply(c, xcb_get_window_attributes_reply, xcb_get_window_attributes(c, window_));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            throw RecorderError::windowGone();
        }
        const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, window_, XCB_CW_EVENT_MASK, &events);
        if (hasComposite_) {
            hasComposite_ = succeeded(c, xcb_composite_redirect_window_checked(
                                             c, window_, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
        }
        if (!refreshWindowGeometry()) {
            throw RecorderError::windowGone();
        }
        createDamage(window_);
    }

    // Reads the window's size and names a fresh pixmap of its contents; false
    // when the window is gone.
    bool refreshWindowGeometry() {
        xcb_connection_t* c = connection_.get();
        auto geometry = reply(c, xcb_get_geometry_reply, xcb_get_geometry(c, window_));
        if (!geometry) {
            return false;
        }
        const int border = hasComposite_ ? geometry->border_width : 0;
        origin_ = {border, border};
        valid_ = {border, border, geometry->width, geometry->height};
        damageOffset_ = border;
        windowWidth_ = geometry->width;
        windowHeight_ = geometry->height;
        const bool scaled =
            windowWidth_ != configuration_.width || windowHeight_ != configuration_.height;
        if (!scaled) {
            canvas_ = VideoFrame{};
        } else if (canvas_.width != windowWidth_ || canvas_.height != windowHeight_) {
            canvas_ = VideoFrame::allocate(PixelFormat::bgra, windowWidth_, windowHeight_);
            fillBlack(canvas_, {0, 0, canvas_.width, canvas_.height});
        }
        previous_ = VideoFrame{};
        if (hasComposite_) {
            if (pixmap_ != XCB_NONE) {
                xcb_free_pixmap(c, pixmap_);
            }
            pixmap_ = xcb_generate_id(c);
            if (!succeeded(c, xcb_composite_name_window_pixmap_checked(c, window_, pixmap_))) {
                pixmap_ = XCB_NONE;
                return false;
            }
            drawable_ = pixmap_;
        } else {
            drawable_ = window_;
        }
        fullRead_ = true;
        return true;
    }

    void createDamage(xcb_drawable_t drawable) {
        if (!hasDamage_) {
            return;
        }
        xcb_connection_t* c = connection_.get();
        damage_ = xcb_generate_id(c);
        xcb_damage_create(c, damage_, drawable, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        damageParts_ = xcb_generate_id(c);
        xcb_xfixes_create_region(c, damageParts_, 0, nullptr);
    }

    void setUpCursor() {
        xcb_connection_t* c = connection_.get();
        if (hasXFixes_) {
            xcb_xfixes_select_cursor_input(c, connection_.root(),
                                           XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
            cursorShapeChanged_ = true;
        }
        if (hasXInput_) {
            struct {
                xcb_input_event_mask_t head;
                std::uint32_t mask;
            } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_MOTION};
            xcb_input_xi_select_events(c, connection_.root(), 1, &selection.head);
        }
        pointerMoved_ = true;
    }

    // ---- capture thread -------------------------------------------------------------

    void run() {
        try {
            loop();
        } catch (...) {
            if (!stopping_) {
                output_.didStopWithError(std::current_exception());
            }
        }
        noteFirstDelivered();
    }

    void noteFirstDelivered() {
        std::lock_guard lock(firstMutex_);
        if (!firstDelivered_) {
            firstDelivered_ = true;
            firstDone_.notify_all();
        }
    }

    void loop() {
        while (!stopping_) {
            drainEvents();
            connection_.requireAlive();
            if (windowDestroyed_) {
                deliverStatus(FrameStatus::stopped);
                return;
            }
            const HostTime now = clock_.now();
            if (configuration_.showsCursor && now - lastPointerCheck_ >= kPointerCheckInterval) {
                pointerMoved_ = true;
            }
            if (!wantsFrame()) {
                waitForEvents(connection_, wakeup_, idleTimeoutMs());
                continue;
            }
            if (now < nextAllowed_) {
                clock_.sleepUntil(nextAllowed_);
                continue;  // gather what happened meanwhile into the same frame
            }
            if (framesHeldByOutput() >= std::max(1, configuration_.queueDepth)) {
                waitForEvents(connection_, wakeup_, std::max(1, toMilliseconds(interval_)));
                continue;
            }
            captureFrame(now);
        }
    }

    // Without raw motion events the pointer is checked every frame interval.
    bool pollingPointer() const { return configuration_.showsCursor && !hasXInput_; }

    int idleTimeoutMs() const {
        if (pollingPointer()) {
            return std::max(1, toMilliseconds(interval_));
        }
        return configuration_.showsCursor ? toMilliseconds(kPointerCheckInterval) : -1;
    }

    bool wantsFrame() const {
        if (windowHidden_) {
            return false;
        }
        return firstFrame_ || fullRead_ || damaged_ || cursorShapeChanged_ || pointerMoved_ ||
               pollingPointer() || !hasDamage_;
    }

    void drainEvents() {
        while (XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
            handleEvent(event.get());
        }
    }

    void handleEvent(const xcb_generic_event_t* event) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (hasDamage_ && type == damageEventBase_ + XCB_DAMAGE_NOTIFY) {
            damaged_ = true;
            noteChange(reinterpret_cast<const xcb_damage_notify_event_t*>(event)->timestamp);
        } else if (hasXFixes_ && type == xfixesEventBase_ + XCB_XFIXES_CURSOR_NOTIFY) {
            cursorShapeChanged_ = true;
            noteChange(reinterpret_cast<const xcb_xfixes_cursor_notify_event_t*>(event)->timestamp);
        } else if (hasRandrEvents_ && (type == randrEventBase_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                       type == randrEventBase_ + XCB_RANDR_NOTIFY)) {
            monitorsChanged();
        } else if (type == XCB_GE_GENERIC) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (hasXInput_ && generic->extension == xinputOpcode_ &&
                generic->event_type == XCB_INPUT_RAW_MOTION) {
                pointerMoved_ = true;
                noteChange(reinterpret_cast<const xcb_input_raw_motion_event_t*>(event)->time);
            }
        } else if (filter_.kind == ContentFilter::Kind::window) {
            handleWindowEvent(type, event);
        } else {
            handleStackEvent(type, event);
        }
    }

    void monitorsChanged() {
        monitors_ = readMonitors(connection_, scale_);
        if (filter_.kind != ContentFilter::Kind::display) {
            return;
        }
        const PixelRect before = source_;
        const PixelRect validBefore = valid_;
        try {
            placeSource();
        } catch (const RecorderError&) {
            throw ScreenCaptureError("The display being recorded was disconnected.");
        }
        if (source_ != before || valid_ != validBefore) {
            previous_ = VideoFrame{};  // the next frame starts from black
            fullRead_ = true;
        }
    }

    void handleWindowEvent(std::uint8_t type, const xcb_generic_event_t* event) {
        switch (type) {
            case XCB_CONFIGURE_NOTIFY: {
                const auto* configure =
                    reinterpret_cast<const xcb_configure_notify_event_t*>(event);
                if (configure->window == window_ &&
                    (configure->width != windowWidth_ || configure->height != windowHeight_ ||
                     origin_.x != (hasComposite_ ? configure->border_width : 0))) {
                    resized_ = true;
                }
                break;
            }
            case XCB_UNMAP_NOTIFY:
                if (reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == window_) {
                    windowHidden_ = true;
                    deliverStatus(FrameStatus::suspended);
                }
                break;
            case XCB_MAP_NOTIFY:
                if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == window_) {
                    windowHidden_ = false;
                    resized_ = true;
                }
                break;
            case XCB_DESTROY_NOTIFY:
                if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == window_) {
                    windowDestroyed_ = true;
                }
                break;
            default:
                break;
        }
    }

    void handleStackEvent(std::uint8_t type, const xcb_generic_event_t* event) {
        switch (type) {
            case XCB_MAP_NOTIFY:
                // Applications name their process just before showing a window.
                processIDs_.erase(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window);
                stackChanged_ = true;
                break;
            case XCB_DESTROY_NOTIFY:
                processIDs_.erase(
                    reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
                stackChanged_ = true;
                break;
            case XCB_REPARENT_NOTIFY: {
                const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
                processIDs_.erase(reparent->parent);
                processIDs_.erase(reparent->window);
                stackChanged_ = true;
                break;
            }
            case XCB_PROPERTY_NOTIFY:
                if (reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom ==
                    wallpaperAtom_) {
                    // Redrawn everywhere, also where our windows hide it.
                    stackChanged_ = true;
                    fullRead_ = true;
                }
                break;
            case XCB_CREATE_NOTIFY:
            case XCB_UNMAP_NOTIFY:
            case XCB_CONFIGURE_NOTIFY:
            case XCB_CIRCULATE_NOTIFY:
            case XCB_GRAVITY_NOTIFY:
                stackChanged_ = true;
                break;
            default:
                break;
        }
    }

    // The picture read next changed last at this server time. A frame is
    // stamped with it rather than with when it was read: the picture was on
    // screen from then on, and the capture thread may be late to read it.
    void noteChange(xcb_timestamp_t serverMs) {
        lastChangeMs_ = serverMs;
        changeNoted_ = true;
    }

    HostTime frameTime(HostTime readAt) {
        HostTime time = readAt;
        if (changeNoted_ && !firstFrame_) {
            time = std::min(readAt, serverTime_.toHost(lastChangeMs_, readAt));
        }
        changeNoted_ = false;
        // Never before the previous frame, and never before the read when
        // the reason for this frame was something without a time.
        if (lastFrameTime_ && time <= *lastFrameTime_) {
            time = std::min(readAt, *lastFrameTime_ + std::chrono::milliseconds(1));
        }
        lastFrameTime_ = time;
        return time;
    }

    // ---- one frame --------------------------------------------------------------

    int framesHeldByOutput() const {
        // The previous frame, kept to build the next one on, is the stream's own.
        return inFlight_->load() - (previous_.empty() ? 0 : 1);
    }

    void captureFrame(HostTime now) {
        nextAllowed_ = now + interval_;
        if (resized_) {
            resized_ = false;
            if (!refreshWindowGeometry()) {
                return;  // gone or hidden meanwhile; its destroy or unmap event follows
            }
        }
        std::vector<PixelRect> rects = changedRects();
        if (!rects.empty() && !grabber_->read(drawable_, rects, pieces_)) {
            // The drawable changed under us (a resize, a display change): read
            // it all again once the events about it have arrived.
            fullRead_ = true;
            resized_ = filter_.kind == ContentFilter::Kind::window;
            return;
        }
        const bool cursorChanged = configuration_.showsCursor && updateCursor();
        if (firstFrame_ || !rects.empty() || cursorChanged) {
            deliverFrame(frameTime(now), rects);
            firstFrame_ = false;
        }
    }

    // The areas to read this frame, in drawable coordinates.
    std::vector<PixelRect> changedRects() {
        std::vector<PixelRect> rects;
        xcb_connection_t* c = connection_.get();
        XcbPointer<xcb_xfixes_fetch_region_reply_t> region;
        if (hasDamage_ && (damaged_ || fullRead_ || firstFrame_)) {
            // Taking the damage before reading means anything drawn after this
            // point is reported again.
            xcb_damage_subtract(c, damage_, XCB_NONE, damageParts_);
            region =
                reply(c, xcb_xfixes_fetch_region_reply, xcb_xfixes_fetch_region(c, damageParts_));
        }
        const bool whole = fullRead_ || firstFrame_ || !hasDamage_;
        damaged_ = false;
        fullRead_ = false;
        if (whole) {
            if (!valid_.isEmpty()) {
                rects.push_back(valid_);
            }
            return rects;
        }
        if (!region) {
            return rects;
        }
        const int count = xcb_xfixes_fetch_region_rectangles_length(region.get());
        const xcb_rectangle_t* boxes = xcb_xfixes_fetch_region_rectangles(region.get());
        auto clipped = [this](const xcb_rectangle_t& box) {
            return PixelRect{box.x + damageOffset_, box.y + damageOffset_, box.width, box.height}
                .intersection(valid_);
        };
        if (std::size_t(count) > kMaxDamageRects) {
            const PixelRect all = clipped(region->extents);
            if (!all.isEmpty()) {
                rects.push_back(all);
            }
            return rects;
        }
        for (int i = 0; i < count; ++i) {
            if (const PixelRect rect = clipped(boxes[i]); !rect.isEmpty()) {
                rects.push_back(rect);
            }
        }
        return rects;
    }

    // Copies pixels read at drawable rectangle piece.rect (offset by dx, dy
    // into root coordinates for other windows' pixmaps) into the picture.
    void paste(VideoFrame& picture, const ImageGrabber::Piece& piece, int dx = 0, int dy = 0) {
        const int x = piece.rect.x + dx - origin_.x;
        const int y = piece.rect.y + dy - origin_.y;
        copyOpaque(piece.data, piece.stride, picture.row(0, y) + std::ptrdiff_t(x) * 4,
                   picture.stride[0], piece.rect.width, piece.rect.height);
    }

    // The frame's pixels before the cursor goes on: the window's canvas scaled
    // into it, or the previous frame (without its cursor) with the changed
    // areas on top.
    void compose(VideoFrame& frame, const std::vector<PixelRect>& rects) {
        if (!canvas_.empty()) {
            for (const auto& piece : pieces_) {
                paste(canvas_, piece);
            }
            copyScaledToFit(canvas_, frame);
            return;
        }
        const PixelRect whole{0, 0, frame.width, frame.height};
        const bool replacesAll =
            rects.size() == 1 && rects[0].offsetBy(-origin_.x, -origin_.y) == whole;
        if (!replacesAll) {
            if (previous_.empty()) {
                fillBlack(frame, whole);
            } else {
                copyScaledToFit(previous_, frame);
                restoreUnderCursor(frame);
            }
        }
        for (const auto& piece : pieces_) {
            paste(frame, piece);
        }
        if (excludeWindows_ && !rects.empty()) {
            leaveOutExcludedWindows(frame, rects);
        }
    }

    // ---- windows of excluded processes ----------------------------------------------

    bool excluded(const TopLevel& window) {
        auto found = processIDs_.find(window.id);
        if (found == processIDs_.end()) {
            found = processIDs_.emplace(window.id, topLevelProcessID(connection_, window.id)).first;
        }
        const auto& pids = filter_.excludedProcessIDs;
        return found->second != 0 &&
               std::find(pids.begin(), pids.end(), found->second) != pids.end();
    }

    // Where a window shows, in root pixels: its bounding shape (a frame drawn
    // as an outline is just the outline), read afresh each time since shapes
    // change without notice to us.
    std::vector<PixelRect> shapeOf(const TopLevel& window) {
        xcb_connection_t* c = connection_.get();
        const xcb_xfixes_region_t region = xcb_generate_id(c);
        xcb_xfixes_create_region_from_window(c, region, window.id, XCB_SHAPE_SK_BOUNDING);
        auto parts = reply(c, xcb_xfixes_fetch_region_reply, xcb_xfixes_fetch_region(c, region));
        xcb_xfixes_destroy_region(c, region);
        std::vector<PixelRect> shape;
        if (!parts) {
            return shape;
        }
        const xcb_rectangle_t* boxes = xcb_xfixes_fetch_region_rectangles(parts.get());
        const int count = xcb_xfixes_fetch_region_rectangles_length(parts.get());
        // Shape coordinates start inside the border.
        const int x = window.outer.x + window.border;
        const int y = window.outer.y + window.border;
        for (int i = 0; i < count; ++i) {
            shape.push_back(
                PixelRect{boxes[i].x + x, boxes[i].y + y, boxes[i].width, boxes[i].height}
                    .intersection(window.outer));
        }
        return shape;
    }

    void leaveOutExcludedWindows(VideoFrame& frame, const std::vector<PixelRect>& rects) {
        if (stackChanged_ || topLevelExcluded_.size() != topLevels_.size()) {
            stackChanged_ = false;
            topLevels_ = readTopLevels(connection_);
            // The desktop picture set by the usual wallpaper tools, drawn
            // where no window is.
            wallpaper_ =
                cardinalProperty(connection_, connection_.root(), wallpaperAtom_, XCB_ATOM_PIXMAP)
                    .value_or(XCB_NONE);
            topLevelExcluded_.clear();
            for (const auto& window : topLevels_) {
                topLevelExcluded_.push_back(window.viewable && !window.inputOnly &&
                                            window.outer.intersects(valid_) && excluded(window));
            }
        }
        std::vector<PixelRect> areas;
        for (std::size_t i = 0; i < topLevels_.size(); ++i) {
            if (!topLevelExcluded_[i]) {
                continue;
            }
            for (const auto& part : shapeOf(topLevels_[i])) {
                for (const auto& rect : rects) {
                    if (const PixelRect area = part.intersection(rect); !area.isEmpty()) {
                        areas.push_back(area);
                    }
                }
            }
        }
        if (!areas.empty()) {
            rebuildWithoutExcluded(frame, areas);
        }
    }

    // Paints the areas (root pixels) of the frame from the other windows' own
    // pixmaps, bottom to top, over the wallpaper or black.
    void rebuildWithoutExcluded(VideoFrame& frame, const std::vector<PixelRect>& areas) {
        xcb_connection_t* c = connection_.get();
        for (const auto& area : areas) {
            fillBlack(frame, area.offsetBy(-origin_.x, -origin_.y));
        }
        if (wallpaper_ != XCB_NONE && grabber_->read(wallpaper_, areas, pieces_)) {
            for (const auto& piece : pieces_) {
                paste(frame, piece);
            }
        }
        std::vector<PixelRect> parts;
        for (std::size_t i = 0; i < topLevels_.size(); ++i) {
            const TopLevel& window = topLevels_[i];
            if (topLevelExcluded_[i] || !window.viewable || window.inputOnly) {
                continue;
            }
            parts.clear();
            for (const auto& area : areas) {
                if (const PixelRect part = window.outer.intersection(area); !part.isEmpty()) {
                    parts.push_back(part.offsetBy(-window.outer.x, -window.outer.y));
                }
            }
            if (parts.empty()) {
                continue;
            }
            const xcb_pixmap_t pixmap = xcb_generate_id(c);
            xcb_composite_name_window_pixmap(c, window.id, pixmap);
            if (grabber_->read(pixmap, parts, pieces_)) {
                for (const auto& piece : pieces_) {
                    paste(frame, piece, window.outer.x, window.outer.y);
                }
            }
            xcb_free_pixmap(c, pixmap);
        }
    }

    // ---- cursor --------------------------------------------------------------------

    // Reads the pointer and cursor image as needed; true when the cursor as
    // drawn in the frame changes.
    bool updateCursor() {
        xcb_connection_t* c = connection_.get();
        bool shapeChanged = false;
        if (cursorShapeChanged_ && hasXFixes_) {
            cursorShapeChanged_ = false;
            auto image =
                reply(c, xcb_xfixes_get_cursor_image_reply, xcb_xfixes_get_cursor_image(c));
            if (image) {
                cursor_.width = image->width;
                cursor_.height = image->height;
                cursor_.hotX = image->xhot;
                cursor_.hotY = image->yhot;
                const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(image.get());
                cursor_.pixels.assign(
                    pixels, pixels + xcb_xfixes_get_cursor_image_cursor_image_length(image.get()));
                shapeChanged = true;
            }
        }
        if (pointerMoved_ || pollingPointer()) {
            pointerMoved_ = false;
            lastPointerCheck_ = clock_.now();
            const xcb_window_t relativeTo =
                filter_.kind == ContentFilter::Kind::window ? window_ : connection_.root();
            auto pointer = reply(c, xcb_query_pointer_reply, xcb_query_pointer(c, relativeTo));
            pointerShown_ = pointer && pointer->same_screen;
            if (pointerShown_) {
                pointer_ = filter_.kind == ContentFilter::Kind::window
                               ? Offset{pointer->win_x, pointer->win_y}
                               : Offset{pointer->root_x - origin_.x, pointer->root_y - origin_.y};
            }
        }
        const PixelRect frameArea{0, 0, configuration_.width, configuration_.height};
        PixelRect bounds;
        if (pointerShown_ && hasXFixes_) {
            const Offset hotSpot = cursorPosition();
            bounds = cursorBounds(cursor_, hotSpot.x, hotSpot.y).intersection(frameArea);
        }
        const bool changed = bounds != cursorArea_ || (shapeChanged && !bounds.isEmpty());
        cursorArea_ = bounds;
        return changed;
    }

    // The hot spot in frame pixels.
    Offset cursorPosition() const {
        if (canvas_.empty()) {
            return pointer_;
        }
        const FitTransform fit = fitTransform(canvas_.width, canvas_.height, configuration_.width,
                                              configuration_.height);
        return {fit.offsetX + static_cast<int>(pointer_.x * fit.scale),
                fit.offsetY + static_cast<int>(pointer_.y * fit.scale)};
    }

    // Keeps the pixels the cursor is about to cover, to build the next frame
    // on this one without it.
    void saveUnderCursor(const VideoFrame& frame) {
        savedArea_ = cursorArea_;
        const int stride = savedArea_.width * 4;
        underCursor_.resize(std::size_t(stride) * std::size_t(savedArea_.height));
        copyPixels(frame.row(0, savedArea_.y) + std::ptrdiff_t(savedArea_.x) * 4, frame.stride[0],
                   underCursor_.data(), stride, savedArea_.width, savedArea_.height);
    }

    void restoreUnderCursor(VideoFrame& frame) const {
        copyPixels(underCursor_.data(), savedArea_.width * 4,
                   frame.row(0, savedArea_.y) + std::ptrdiff_t(savedArea_.x) * 4, frame.stride[0],
                   savedArea_.width, savedArea_.height);
    }

    // ---- delivery -------------------------------------------------------------------

    void deliverFrame(HostTime time, const std::vector<PixelRect>& rects) {
        VideoFrame frame = pool_.acquire();
        inFlight_->fetch_add(1);
        // The frame counts as held until the last copy of it goes.
        frame.storage = std::shared_ptr<void>(
            nullptr, [storage = std::move(frame.storage), held = inFlight_](void*) mutable {
                storage.reset();
                held->fetch_sub(1);
            });
        compose(frame, rects);
        savedArea_ = PixelRect{};
        if (!cursorArea_.isEmpty()) {
            if (canvas_.empty()) {
                saveUnderCursor(frame);
            }
            const Offset hotSpot = cursorPosition();
            drawCursor(frame, cursor_, hotSpot.x, hotSpot.y);
        }
        if (canvas_.empty()) {
            previous_ = frame;
        }
        output_.didOutputFrame(ScreenFrame{FrameStatus::complete, std::move(frame), time});
        noteFirstDelivered();
    }

    void deliverStatus(FrameStatus status) {
        output_.didOutputFrame(ScreenFrame{status, VideoFrame{}, clock_.now()});
        noteFirstDelivered();
    }

    X11Connection connection_;
    const Clock& clock_;
    ScaleForOutput scale_;
    const ContentFilter filter_;
    const StreamConfiguration configuration_;
    ScreenStreamOutput& output_;
    const HostTime interval_;
    FramePool pool_;
    std::shared_ptr<std::atomic<int>> inFlight_ = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<ImageGrabber> grabber_;
    std::vector<ImageGrabber::Piece> pieces_;

    bool hasDamage_ = false;
    bool hasXFixes_ = false;
    bool hasComposite_ = false;
    bool hasXInput_ = false;
    bool hasRandrEvents_ = false;
    std::uint8_t damageEventBase_ = 0;
    std::uint8_t xfixesEventBase_ = 0;
    std::uint8_t randrEventBase_ = 0;
    std::uint8_t xinputOpcode_ = 0;
    std::uint32_t damage_ = XCB_NONE;
    std::uint32_t damageParts_ = XCB_NONE;

    // What is read: `drawable_` (root, a window or its pixmap); drawable pixel
    // (x, y) is canvas pixel (x − origin_.x, y − origin_.y); `valid_` is the
    // readable part in drawable coordinates; damage arrives in coordinates
    // damageOffset_ short of the drawable's (a pixmap includes the border).
    std::vector<MonitorGeometry> monitors_;
    xcb_drawable_t drawable_ = XCB_NONE;
    PixelRect source_;
    PixelRect valid_;
    Offset origin_;
    int damageOffset_ = 0;

    // The last frame delivered (the next one is built on it), or, for a window
    // of another size than the frame, the window's picture at its own size.
    VideoFrame previous_;
    VideoFrame canvas_;

    xcb_window_t window_ = XCB_NONE;
    xcb_pixmap_t pixmap_ = XCB_NONE;
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    bool windowHidden_ = false;
    bool windowDestroyed_ = false;
    bool resized_ = false;

    bool excludeWindows_ = false;
    bool stackChanged_ = true;
    std::vector<TopLevel> topLevels_;
    std::vector<bool> topLevelExcluded_;
    xcb_atom_t wallpaperAtom_ = XCB_ATOM_NONE;
    xcb_pixmap_t wallpaper_ = XCB_NONE;
    std::unordered_map<xcb_window_t, std::uint32_t> processIDs_;

    CursorImage cursor_;
    Offset pointer_;  // the hot spot in the picture's pixels
    bool pointerShown_ = false;
    HostTime lastPointerCheck_{0};
    PixelRect cursorArea_;  // where the next frame's cursor goes
    PixelRect savedArea_;   // where the previous frame's cursor went
    std::vector<std::uint8_t> underCursor_;

    bool firstFrame_ = true;
    bool fullRead_ = true;
    bool damaged_ = false;
    bool cursorShapeChanged_ = false;
    bool pointerMoved_ = false;
    HostTime nextAllowed_{0};
    ServerTime serverTime_;
    xcb_timestamp_t lastChangeMs_ = 0;
    bool changeNoted_ = false;
    std::optional<HostTime> lastFrameTime_;

    Wakeup wakeup_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    bool stopped_ = false;
    std::mutex firstMutex_;
    std::condition_variable firstDone_;
    bool firstDelivered_ = false;  // or the thread ended without a frame
    ConnectionThread thread_;
};

class X11ScreenCapture final : public ScreenCaptureService {
  public:
    explicit X11ScreenCapture(const X11Options& options) : options_(options) {}

    std::unique_ptr<ScreenStream> startCapture(const ContentFilter& filter,
                                               const StreamConfiguration& configuration,
                                               ScreenStreamOutput& output) override {
        return std::make_unique<X11ScreenStream>(options_, filter, configuration, output);
    }

  private:
    X11Options options_;
};

}  // namespace

std::unique_ptr<ScreenCaptureService> makeX11ScreenCapture(const X11Options& options) {
    x11::X11Connection probe(options.displayName);
    return std::make_unique<X11ScreenCapture>(options);
}

}  // namespace zarvex
