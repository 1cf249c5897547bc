#pragma once

#include <optional>

#include "capture/errors.h"
#include "media/media_error.h"

namespace zarvex {

// RecorderError::writerFailed carrying the movie writer's own message, or
// `fallback` when the writer gave none.
inline RecorderError writerFailure(const std::optional<MediaError>& error, const char* fallback) {
    return RecorderError::writerFailed(error && *error->what() != '\0' ? error->what() : fallback);
}

}  // namespace zarvex
