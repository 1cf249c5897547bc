#include "app/x11/x11_hotkey.h"

#include <QSocketNotifier>

#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "capture/x11/x11_connection.h"
#include "model/preferences.h"

namespace zarvex {
namespace {

using x11::reply;
using x11::X11Connection;
using x11::XcbPointer;

constexpr xcb_keysym_t kNumLockKeysym = 0xff7f;
constexpr std::uint8_t kBadAccess = 10;

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};

// The X modifier mask of stored modifier bits: command → Control, shift →
// Shift, option → Alt (Mod1), control → Super (Mod4).
std::uint16_t xModifiers(std::uint32_t modifiers) {
    std::uint16_t mask = 0;
    if ((modifiers & prefs::kCommandKey) != 0) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if ((modifiers & prefs::kShiftKey) != 0) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if ((modifiers & prefs::kOptionKey) != 0) {
        mask |= XCB_MOD_MASK_1;
    }
    if ((modifiers & prefs::kControlKey) != 0) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

class X11GlobalHotkey final : public GlobalHotkey {
  public:
    explicit X11GlobalHotkey(const std::optional<std::string>& displayName)
        : connection_(displayName),
          symbols_(xcb_key_symbols_alloc(connection_.get())),
          notifier_(xcb_get_file_descriptor(connection_.get()), QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readEvents(); });
    }

    ~X11GlobalHotkey() override { release(); }

    bool grab(const KeyCombination& keys) override {
        release();
        hotkey_ = keys;
        const bool grabbed = grabKeys();
        // Replies may have brought events along; the notifier only sees new data.
        readEvents();
        return grabbed;
    }

    void release() override {
        for (const Grab& grab : grabs_) {
            xcb_ungrab_key(connection_.get(), grab.keycode, connection_.root(), grab.modifiers);
        }
        const bool held = !grabs_.empty();
        grabs_.clear();
        hotkey_.reset();
        if (held) {
            // A round trip: once this returns the server has let the key go, so
            // a grab of it by anyone (another Zarvex hotkey too) can succeed.
            std::free(xcb_get_input_focus_reply(connection_.get(),
                                                xcb_get_input_focus(connection_.get()), nullptr));
        }
    }

  private:
    struct Grab {
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
    };

    std::uint16_t numLockMask() {
        auto mapping = reply(connection_.get(), xcb_get_modifier_mapping_reply,
                             xcb_get_modifier_mapping(connection_.get()));
        if (!mapping) {
            return 0;
        }
        const XcbPointer<xcb_keycode_t> numLock(
            xcb_key_symbols_get_keycode(symbols_.get(), kNumLockKeysym));
        if (!numLock) {
            return 0;
        }
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
        const int perModifier = mapping->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
                for (const xcb_keycode_t* k = numLock.get(); *k != XCB_NO_SYMBOL; ++k) {
                    if (keycode != 0 && keycode == *k) {
                        return static_cast<std::uint16_t>(1u << modifier);
                    }
                }
            }
        }
        return 0;
    }

    // Grabs every keycode of the key with the modifiers and each NumLock and
    // CapsLock state; all or nothing.
    bool grabKeys() {
        const XcbPointer<xcb_keycode_t> keycodes(
            xcb_key_symbols_get_keycode(symbols_.get(), hotkey_->keysym));
        if (!keycodes || *keycodes == XCB_NO_SYMBOL) {
            hotkey_.reset();
            return false;
        }
        modifiers_ = xModifiers(hotkey_->modifiers);
        const std::uint16_t numLock = numLockMask();
        ignored_ = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock);
        std::vector<std::pair<Grab, xcb_void_cookie_t>> requests;
        for (const xcb_keycode_t* k = keycodes.get(); *k != XCB_NO_SYMBOL; ++k) {
            for (const std::uint16_t state :
                 {std::uint16_t{0}, std::uint16_t{XCB_MOD_MASK_LOCK}, numLock,
                  static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)}) {
                const Grab grab{*k, static_cast<std::uint16_t>(modifiers_ | state)};
                requests.emplace_back(
                    grab,
                    xcb_grab_key_checked(connection_.get(), 1, connection_.root(), grab.modifiers,
                                         grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            }
        }
        bool taken = false;
        for (const auto& [grab, cookie] : requests) {
            const XcbPointer<xcb_generic_error_t> error(
                xcb_request_check(connection_.get(), cookie));
            if (!error) {
                grabs_.push_back(grab);
            } else if (error->error_code == kBadAccess) {
                taken = true;
            }
        }
        if (taken || grabs_.empty()) {
            release();
            return false;
        }
        return true;
    }

    void readEvents() {
        while (XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())}) {
            switch (event->response_type & 0x7f) {
                case XCB_KEY_PRESS:
                    keyPressed(*reinterpret_cast<xcb_key_press_event_t*>(event.get()));
                    break;
                case XCB_KEY_RELEASE: {
                    const auto* released = reinterpret_cast<xcb_key_release_event_t*>(event.get());
                    lastRelease_ = {released->detail, released->time};
                    break;
                }
                case XCB_MAPPING_NOTIFY:
                    keyboardMappingChanged(
                        *reinterpret_cast<xcb_mapping_notify_event_t*>(event.get()));
                    break;
                default:
                    break;
            }
        }
    }

    void keyPressed(const xcb_key_press_event_t& press) {
        // Auto-repeat sends a release and a press with the same time stamp.
        const bool repeated = lastRelease_ && lastRelease_->first == press.detail &&
                              lastRelease_->second == press.time;
        const bool ours = std::any_of(grabs_.begin(), grabs_.end(), [&](const Grab& grab) {
            return grab.keycode == press.detail;
        });
        if (ours && !repeated && (press.state & ~ignored_ & 0xff) == modifiers_ && onPressed) {
            onPressed();
        }
    }

    void keyboardMappingChanged(xcb_mapping_notify_event_t& notice) {
        xcb_refresh_keyboard_mapping(symbols_.get(), &notice);
        if (notice.request == XCB_MAPPING_KEYBOARD || notice.request == XCB_MAPPING_MODIFIER) {
            if (const auto wanted = hotkey_) {
                grab(*wanted);
            }
        }
    }

    X11Connection connection_;
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> symbols_;
    QSocketNotifier notifier_;
    std::optional<KeyCombination> hotkey_;
    std::vector<Grab> grabs_;
    std::uint16_t modifiers_ = 0;
    std::uint16_t ignored_ = XCB_MOD_MASK_LOCK;
    std::optional<std::pair<xcb_keycode_t, xcb_timestamp_t>> lastRelease_;
};

}  // namespace

std::unique_ptr<GlobalHotkey> makeX11GlobalHotkey(const std::optional<std::string>& displayName) {
    return std::make_unique<X11GlobalHotkey>(displayName);
}

}  // namespace zarvex
