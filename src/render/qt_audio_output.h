#pragma once

#include <memory>

#include "render/audio_output.h"

namespace zarvex {

// The sound output through Qt Multimedia: a QAudioSink on the default output
// device at 48 kHz, stereo, 32-bit float, pulling samples on a thread of its
// own (so a busy main thread never starves it). Call on the main thread.
// When there is no output device (no sound server) the output never starts.
std::unique_ptr<AudioOutput> makeQtAudioOutput();

}  // namespace zarvex
