#pragma once

#include <stdexcept>
#include <string>

namespace zarvex {

// The error of capture, also raised by the camera and the project document.
// what() is the user-facing description.
class RecorderError : public std::runtime_error {
  public:
    enum class Kind { writerFailed, noDisplay, windowGone };

    static RecorderError writerFailed(std::string text);
    static RecorderError noDisplay();
    static RecorderError windowGone();

    Kind kind() const { return kind_; }
    // The text given to writerFailed; empty for the other kinds.
    const std::string& payload() const { return payload_; }

  private:
    RecorderError(Kind kind, std::string payload, const std::string& description);

    Kind kind_;
    std::string payload_;
};

}  // namespace zarvex
