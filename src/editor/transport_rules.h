#pragma once

#include <optional>
#include <string>
#include <utility>

// The rules behind the transport bar, without widgets.
namespace zarvex {

// Minutes and two-digit seconds ("%d:%02d") of `seconds` rounded to the
// nearest whole second, halves away from zero; "0:00" for a value that is
// not finite (or below zero).
std::string formatPlaybackTime(double seconds);

// The speaker symbol: slashed while muted or at volume 0, otherwise one, two
// or three waves below 0.34, below 0.67 and from there on.
const char* volumeSymbolName(float volume, bool muted);
// The mute button's help: "Unmute" while muted, "Mute" otherwise.
const char* muteHelpText(bool muted);

// Where playing must start from, given the playhead and the trim range:
// the range's start when the playhead is more than 0.01 s before it, or
// within 0.05 s of its end or past it; nothing (play on from the playhead)
// otherwise.
std::optional<double> playStartSeek(double playhead, std::pair<double, double> trimRange);

// The top of the scrubber's range: the duration, at least 0.01 s.
double scrubberMaximum(double duration);

// Linear maps between a time in 0…maximum and a position along a track that
// starts at `start` and is `length` long; positions outside give the ends.
double trackPosition(double seconds, double maximum, double start, double length);
double trackTime(double position, double maximum, double start, double length);

}  // namespace zarvex
