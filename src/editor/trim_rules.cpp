#include "editor/trim_rules.h"

#include <algorithm>

namespace zarvex {

std::optional<double> trimStartForDrag(double seconds, double end) {
    if (!(seconds > kTrimSnapSeconds)) {
        return std::nullopt;
    }
    // A recording shorter than the minimum span has no room for a start.
    const double start = std::max(0.0, std::min(seconds, end - kMinimumTrimSpan));
    if (start <= kTrimSnapSeconds) {
        return std::nullopt;
    }
    return start;
}

std::optional<double> trimEndForDrag(double seconds, double start, double duration) {
    if (!(seconds < duration - kTrimSnapSeconds)) {
        return std::nullopt;
    }
    const double end = std::max(seconds, start + kMinimumTrimSpan);
    if (end >= duration - kTrimSnapSeconds) {
        return std::nullopt;
    }
    return end;
}

}  // namespace zarvex
