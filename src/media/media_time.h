#pragma once

#include <cmath>
#include <compare>
#include <cstdint>
#include <numeric>

namespace zarvex {

// A rational media time (value / timescale seconds). The invalid time has
// timescale 0. Seconds convert with the preferred timescale 600.
struct MediaTime {
    std::int64_t value = 0;
    std::int32_t timescale = 0;

    static constexpr std::int32_t kPreferredTimescale = 600;

    static constexpr MediaTime invalid() { return {0, 0}; }
    static constexpr MediaTime zero() { return {0, 1}; }
    static MediaTime fromSeconds(double seconds, std::int32_t timescale = kPreferredTimescale) {
        if (!std::isfinite(seconds) || timescale <= 0) {
            return invalid();
        }
        return {static_cast<std::int64_t>(std::llround(seconds * timescale)), timescale};
    }

    constexpr bool isValid() const { return timescale > 0; }
    constexpr double seconds() const {
        return isValid() ? static_cast<double>(value) / timescale : 0.0 / 0.0;
    }

    // Total order over valid times by their exact rational value.
    friend std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b) {
        if (!a.isValid() || !b.isValid()) {
            return a.isValid() <=> b.isValid();
        }
        const __int128 lhs = static_cast<__int128>(a.value) * b.timescale;
        const __int128 rhs = static_cast<__int128>(b.value) * a.timescale;
        return lhs < rhs   ? std::strong_ordering::less
               : lhs > rhs ? std::strong_ordering::greater
                           : std::strong_ordering::equal;
    }
    friend bool operator==(const MediaTime& a, const MediaTime& b) {
        return (a <=> b) == std::strong_ordering::equal;
    }
};

}  // namespace zarvex
