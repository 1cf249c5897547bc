#include "media/recorder_error.h"

namespace zarvex {

RecorderError::RecorderError(Kind kind, std::string payload, const std::string& description)
    : std::runtime_error(description), kind_(kind), payload_(std::move(payload)) {}

RecorderError RecorderError::writerFailed(std::string text) {
    const std::string description = "Recording failed: " + text;
    return RecorderError(Kind::writerFailed, std::move(text), description);
}

RecorderError RecorderError::noDisplay() {
    return RecorderError(Kind::noDisplay, {}, "No display available to record.");
}

RecorderError RecorderError::windowGone() {
    return RecorderError(Kind::windowGone, {}, "The selected window is no longer on screen.");
}

}  // namespace zarvex
