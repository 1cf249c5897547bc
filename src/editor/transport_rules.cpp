#include "editor/transport_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zarvex {

std::string formatPlaybackTime(double seconds) {
    const double rounded = std::round(seconds);  // halves away from zero
    if (!std::isfinite(rounded) || rounded < 0) {
        return "0:00";
    }
    const auto whole = static_cast<long long>(std::min(rounded, 1e15));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

const char* volumeSymbolName(float volume, bool muted) {
    if (muted || volume <= 0) {
        return "speaker.slash.fill";
    }
    if (volume < 0.34f) {
        return "speaker.wave.1.fill";
    }
    if (volume < 0.67f) {
        return "speaker.wave.2.fill";
    }
    return "speaker.wave.3.fill";
}

const char* muteHelpText(bool muted) {
    return muted ? "Unmute" : "Mute";
}

std::optional<double> playStartSeek(double playhead, std::pair<double, double> trimRange) {
    const auto [start, end] = trimRange;
    if (playhead < start - 0.01 || playhead >= end - 0.05) {
        return start;
    }
    return std::nullopt;
}

double scrubberMaximum(double duration) {
    return duration > 0.01 ? duration : 0.01;
}

double trackPosition(double seconds, double maximum, double start, double length) {
    if (!(maximum > 0) || !std::isfinite(seconds)) {
        return start;
    }
    return start + std::clamp(seconds / maximum, 0.0, 1.0) * length;
}

double trackTime(double position, double maximum, double start, double length) {
    if (!(length > 0) || !(maximum > 0)) {
        return 0;
    }
    return std::clamp((position - start) / length, 0.0, 1.0) * maximum;
}

}  // namespace zarvex
