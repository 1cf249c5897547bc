#pragma once

#include <filesystem>

// Recording folders of screen-like content for the benchmarks, written as the
// recorder writes them (only changed frames, 60 fps time base): a desktop with
// a document window and a terminal, a pointer, two tone tracks (440 Hz
// microphone, 1000 Hz system audio), a 1280 × 720 webcam at 30 fps and a
// click every 1.7 s.
namespace zarvex::bench {

inline constexpr int kFrameRate = 60;

// How the user behaves. `typical`: typing, then moving the pointer, scrolling
// in bursts, reading (nothing changes), typing again, as screen recordings
// mostly are (a ten-second story, repeated). `scrolling`: everything moves in
// every frame (the worst case).
enum class Scenario { typical, scrolling };

// Writes screen.mov, webcam.mov, events.json and project.json into `folder`.
void writeRecording(const std::filesystem::path& folder, Scenario scenario, int width, int height,
                    double seconds);

}  // namespace zarvex::bench
