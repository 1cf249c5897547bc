#include "capture/elapsed_text.h"

#include <cstdio>

namespace zarvex {

std::string elapsedText(std::chrono::nanoseconds elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace zarvex
