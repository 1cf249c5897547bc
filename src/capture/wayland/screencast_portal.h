#pragma once

// The desktop's screen-cast service (org.freedesktop.portal.ScreenCast) over
// the session bus: the one place that talks to it. The recorder's streams use
// it to share a display; the recording flow can use it to let the desktop's
// own chooser pick a window.
//
// Calls block the calling thread until the desktop answers (while its dialog
// is open, too) and need a Qt application object; they run a local event loop
// for the portal's answers, so they may be made from any thread, one call at a
// time per object.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/geometry.h"

namespace zarvex {

// What a desktop can share; the values are the portal's bits.
enum class CastSourceType : std::uint32_t { monitor = 1, window = 2, virtualOutput = 4 };

// One shared stream: a PipeWire node and where it lies on the desktop
// (logical coordinates, as the desktop lays out its outputs), when told.
struct CastStream {
    std::uint32_t nodeID = 0;
    std::optional<PixelRect> frame;  // position and size; a window has no position
    std::uint32_t sourceType = 0;
};

// A running cast: the desktop shares its streams until this is destroyed,
// which closes the portal session.
class ScreenCast {
  public:
    virtual ~ScreenCast() = default;
    virtual const std::vector<CastStream>& streams() const = 0;
    // The token that restores this choice without a dialog next time; empty
    // when the desktop gave none.
    virtual const std::string& restoreToken() const = 0;
    // A new connection to the desktop's PipeWire server that can see the
    // streams (a file descriptor the caller owns).
    virtual int openPipeWireRemote() = 0;
};

struct CastRequest {
    CastSourceType type = CastSourceType::monitor;
    bool showsCursor = true;   // drawn into the pictures, else hidden
    std::string restoreToken;  // empty: ask
};

class ScreenCastPortal {
  public:
    // The portal on the session bus. Throws ScreenCaptureError with the text
    // naming the missing service when there is no bus or no ScreenCast portal.
    static std::unique_ptr<ScreenCastPortal> connect();

    virtual ~ScreenCastPortal() = default;
    // Bit sets of CastSourceType and of the portal's cursor modes (1 hidden,
    // 2 embedded, 4 metadata).
    virtual std::uint32_t availableSourceTypes() = 0;
    virtual std::uint32_t availableCursorModes() = 0;

    // Creates a session, selects sources (one of `type`, persisting until
    // revoked) and starts it; the desktop shows its dialog unless the token
    // restores an earlier choice. Throws PermissionError(screenRecordingDenied)
    // with the Wayland text when the user cancels the dialog or the desktop
    // refuses, ScreenCaptureError when the service fails.
    virtual std::unique_ptr<ScreenCast> start(const CastRequest& request) = 0;

    // Ends every wait for the desktop's answer, now and from now on in this
    // process: each throws ScreenCaptureError with kScreenCastInterrupted.
    // Any thread (an interrupt's, while the dialog is open).
    static void interruptWaits();
};

// What the user is told when the dialog is cancelled or refused, and when the
// desktop has no screen-cast service.
extern const char* const kScreenCastRefusal;
extern const char* const kNoScreenCastService;
extern const char* const kScreenCastInterrupted;

}  // namespace zarvex
