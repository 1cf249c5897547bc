#pragma once

#include <stdexcept>
#include <string>

namespace zarvex {

// A failure of the media layer. what() is a user-facing description: what was
// being done followed by FFmpeg's own text for the failure (av_strerror), for
// example "Could not open movie.mov: No such file or directory". code() is
// FFmpeg's negative error number, or 0 for failures found by our own checks.
class MediaError : public std::runtime_error {
  public:
    explicit MediaError(const std::string& description, int code = 0)
        : std::runtime_error(description), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

}  // namespace zarvex
