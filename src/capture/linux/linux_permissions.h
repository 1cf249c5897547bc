#pragma once

#include <optional>
#include <string>

#include "capture/permissions.h"

namespace zarvex {

// PermissionAuthority for X11, which has no capture permissions of its own.
// Screen capture is granted when the X display can be opened: a missing or
// dead display is the one thing that keeps us from recording it, and the
// refusal says so (there is no settings pane to send the user to). The
// microphone and the camera are always authorised: an audio server that
// cannot be reached means a silent track, never a refused recording, and a
// missing camera is reported when it is started. Nothing here ever prompts.
class LinuxPermissionAuthority final : public PermissionAuthority {
  public:
    // `displayName` as for XOpenDisplay; nothing means $DISPLAY.
    explicit LinuxPermissionAuthority(std::optional<std::string> displayName = std::nullopt);

    bool screenCaptureGranted() override;
    bool requestScreenCapture() override;
    AuthorizationStatus status(CaptureDeviceKind kind) override;
    bool requestAccess(CaptureDeviceKind kind) override;
    // The X11 text. A Wayland session is always granted here: the desktop
    // asks in its own dialog when capture starts, and refusals come from there.
    std::string screenCaptureRefusal() override;

  private:
    std::optional<std::string> displayName_;
};

}  // namespace zarvex
