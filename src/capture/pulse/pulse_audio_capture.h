#pragma once

#include <chrono>
#include <memory>

#include "capture/audio_capture.h"

namespace zarvex {

// AudioCapture on PulseAudio. The microphone is the server's default source,
// unless that is the monitor of a sink (what servers fall back to when there
// is no input device): then there is no microphone. System audio is the
// monitor of the default sink. The server is the one named by PULSE_SERVER,
// else libpulse's usual choice; none is ever spawned.
//
// An unreachable server, a missing device or a lost connection leave the
// source silent; every `retryInterval` it tries again, picking up the defaults
// as they are then, until stop(). Chunks arrive about every 10 ms.
std::unique_ptr<AudioCapture> makePulseAudioCapture(
    AudioSource source, std::chrono::milliseconds retryInterval = std::chrono::seconds(2));

}  // namespace zarvex
