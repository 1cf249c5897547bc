#include "capture/errors.h"

namespace zarvex {
namespace {

const char* permissionDescription(PermissionError::Kind kind) {
    switch (kind) {
        case PermissionError::Kind::screenRecordingDenied:
            return "Screen Recording permission is required. Enable it in System Settings > "
                   "Privacy & Security > Screen Recording, then relaunch Zarvex.";
        case PermissionError::Kind::microphoneDenied:
            return "Microphone permission is required for narration. Enable it in System "
                   "Settings > Privacy & Security > Microphone.";
        case PermissionError::Kind::cameraDenied:
            return "Camera permission is required for the webcam overlay. Enable it in System "
                   "Settings > Privacy & Security > Camera.";
    }
    return "";
}

}  // namespace

PermissionError::PermissionError(Kind kind)
    : std::runtime_error(permissionDescription(kind)), kind_(kind) {}

PermissionError::PermissionError(Kind kind, const std::string& description)
    : std::runtime_error(description), kind_(kind) {}

}  // namespace zarvex
