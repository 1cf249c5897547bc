#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "media/video_frame.h"
#include "model/project.h"

namespace zarvex::testing {

// Frame counter: the frame index is drawn as kCounterBits vertical stripes,
// most significant bit on the left, white for 1 and black for 0, so it
// survives compression and scaling and can be read back from pixels.
inline constexpr int kCounterBits = 10;

// An opaque BGRA frame showing `index`.
VideoFrame counterFrame(int index, int width, int height);
// The index shown by a frame made by counterFrame (BGRA or I420, any size);
// -1 when a stripe is neither clearly light nor clearly dark.
int readCounter(const VideoFrame& frame);

// The bytes of a 24-bit BMP file whose pixel (x, y), y counted from the top,
// is rgbAt(x, y) as 0xRRGGBB.
std::string bmpFile(int width, int height, const std::function<std::uint32_t(int, int)>& rgbAt);

// Interleaved stereo float samples of a sine tone at 48 kHz, starting at
// sample `firstSample` of the tone (so consecutive chunks join without a click).
std::vector<float> toneSamples(double frequency, int frameCount, std::int64_t firstSample = 0,
                               float amplitude = 0.25f);
// The power of `frequency` in one channel of interleaved stereo samples (Goertzel).
double tonePower(const std::vector<float>& interleaved, double frequency, int channel = 0);

struct ScreenMovieOptions {
    int width = 320;
    int height = 240;
    // Frame i is shown from frameTimes[i] seconds after T0; empty means
    // `frameCount` frames at `frameRate` from `startSeconds`.
    std::vector<double> frameTimes;
    int frameCount = 120;
    double frameRate = 60;
    double startSeconds = 0;
    // Two AAC tracks as a recording has them: microphone (440 Hz) then system
    // audio (1000 Hz), each from `startSeconds` to the end of the last frame.
    bool microphone = true;
    bool systemAudio = true;
};

inline constexpr double kMicrophoneTone = 440;
inline constexpr double kSystemAudioTone = 1000;

// A screen movie as the recorder writes it (fragmented QuickTime, H.264
// variable frame rate, AAC tracks), each frame showing its index.
void writeScreenMovie(const std::filesystem::path& path, const ScreenMovieOptions& options = {});

// A webcam movie (QuickTime, H.264, no audio) whose content starts
// `startSeconds` after T0: its first frame is shown then.
void writeWebcamMovie(const std::filesystem::path& path, double startSeconds, int frameCount = 60,
                      double frameRate = 30, int width = 160, int height = 120);

struct RecordingFolderOptions {
    ScreenMovieOptions screen;
    // A webcam movie is written when set: its content starts this long after T0.
    std::optional<double> webcamStartSeconds;
    std::vector<RecordedClick> clicks;
};

// A complete recording folder: screen.mov, webcam.mov (optional), events.json
// and project.json naming them.
void writeRecordingFolder(const std::filesystem::path& folder,
                          const RecordingFolderOptions& options = {});

}  // namespace zarvex::testing
