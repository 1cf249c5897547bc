#include "capture/permissions.h"

#include "capture/errors.h"

namespace zarvex {
namespace {

void ensureDevice(PermissionAuthority& authority, CaptureDeviceKind kind,
                  PermissionError::Kind refusal) {
    switch (authority.status(kind)) {
        case AuthorizationStatus::authorized:
            return;
        case AuthorizationStatus::notDetermined:
            if (authority.requestAccess(kind)) {
                return;
            }
            throw PermissionError(refusal);
        case AuthorizationStatus::restricted:
        case AuthorizationStatus::denied:
            break;
    }
    throw PermissionError(refusal);
}

}  // namespace

void ensureScreenAndMicrophone(PermissionAuthority& authority) {
    if (!authority.screenCaptureGranted() && !authority.requestScreenCapture()) {
        const std::string refusal = authority.screenCaptureRefusal();
        if (!refusal.empty()) {
            throw PermissionError(PermissionError::Kind::screenRecordingDenied, refusal);
        }
        throw PermissionError(PermissionError::Kind::screenRecordingDenied);
    }
    ensureDevice(authority, CaptureDeviceKind::audio, PermissionError::Kind::microphoneDenied);
}

void ensureCamera(PermissionAuthority& authority) {
    ensureDevice(authority, CaptureDeviceKind::video, PermissionError::Kind::cameraDenied);
}

}  // namespace zarvex
