#pragma once

// Reading a recording of the A/V rig (tests/e2e/av_sync_rig_main.cpp): when
// its flashes show and its beeps sound.

#include <filesystem>
#include <vector>

namespace zarvex::testing {

// Movie times (seconds) at which the picture at (x, y) (the centre when
// negative) turns from dark to light.
std::vector<double> flashTimes(const std::filesystem::path& movie, int x = -1, int y = -1);

// Movie times (seconds) at which a sound starts on an audio track, after at
// least 200 ms of quiet.
std::vector<double> soundOnsets(const std::filesystem::path& movie, int trackIndex);

// Seconds from each flash to the sound onset nearest to it.
std::vector<double> offsets(const std::vector<double>& flashes, const std::vector<double>& onsets);

}  // namespace zarvex::testing
