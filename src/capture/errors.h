#pragma once

#include <stdexcept>
#include <string>

#include "media/recorder_error.h"

namespace zarvex {

// A refused permission; what() is shown verbatim.
class PermissionError : public std::runtime_error {
  public:
    enum class Kind { screenRecordingDenied, microphoneDenied, cameraDenied };

    explicit PermissionError(Kind kind);
    // The refusal told in the platform's own words (another settings place).
    PermissionError(Kind kind, const std::string& description);
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

}  // namespace zarvex
