#pragma once

#include <chrono>
#include <string>

namespace zarvex {

// "%d:%02d" of the whole seconds in `elapsed` (truncated toward zero):
// minutes are not wrapped into hours, so 75 minutes 3 seconds is "75:03".
std::string elapsedText(std::chrono::nanoseconds elapsed);

}  // namespace zarvex
