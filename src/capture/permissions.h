#pragma once

#include <string>

namespace zarvex {

enum class AuthorizationStatus { notDetermined = 0, restricted = 1, denied = 2, authorized = 3 };
enum class CaptureDeviceKind { audio, video };

// Port: the system's capture permissions. Requests may block until the user or
// the system answers; callers run the checks where blocking is acceptable.
class PermissionAuthority {
  public:
    virtual ~PermissionAuthority() = default;
    virtual bool screenCaptureGranted() = 0;  // preflight, never prompts
    virtual bool requestScreenCapture() = 0;  // may prompt; true when granted
    virtual AuthorizationStatus status(CaptureDeviceKind kind) = 0;
    virtual bool requestAccess(CaptureDeviceKind kind) = 0;  // may prompt; true when granted
    // What the user is told when screen capture is refused, for systems whose
    // way to grant it differs from the usual settings pane; empty: the usual text.
    virtual std::string screenCaptureRefusal() { return {}; }
};

// Screen capture first (requested when not yet granted), then the microphone,
// checked every time. Throws PermissionError.
void ensureScreenAndMicrophone(PermissionAuthority& authority);

// The camera, with the microphone's rules. Throws PermissionError(cameraDenied).
void ensureCamera(PermissionAuthority& authority);

}  // namespace zarvex
