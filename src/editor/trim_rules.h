#pragma once

#include <optional>

// The rules of the two-handle trim slider, without widgets.
namespace zarvex {

inline constexpr double kTrimHandleSize = 14;     // points
inline constexpr double kMinimumTrimSpan = 0.2;   // seconds kept at least
inline constexpr double kTrimSnapSeconds = 0.01;  // this close to an end clears that end

// The trim start for the start handle dragged to `seconds`: none (no trim at
// the start) within 0.01 s of the beginning, otherwise the time, at most
// `end` − 0.2 and never below zero (none when that leaves nothing).
std::optional<double> trimStartForDrag(double seconds, double end);

// The trim end for the end handle dragged to `seconds`: none (no trim at the
// end) within 0.01 s of `duration` or past it, otherwise the time, at least
// `start` + 0.2 (none when that reaches the end).
std::optional<double> trimEndForDrag(double seconds, double start, double duration);

}  // namespace zarvex
