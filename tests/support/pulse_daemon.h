#pragma once

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex::testing {

// A private PulseAudio daemon for one test: its own runtime folder and socket
// (so tests run side by side, as root too) and a 48 kHz stereo null sink,
// kSinkName, which is the default sink and whose monitor is the system audio.
// Construction returns once clients can connect; destruction stops it.
class PulseDaemon {
  public:
    static constexpr const char* kSinkName = "rec_sink";

    // `extraModules` are loaded at start, each written as for --load, e.g.
    // "module-sine-source source_name=mic rate=48000 frequency=440".
    explicit PulseDaemon(const std::vector<std::string>& extraModules = {});

    // The value for PULSE_SERVER: "unix:<folder>/native".
    const std::string& server() const { return server_; }

    // Runs a PulseAudio client (pactl, paplay, …) against this daemon.
    ProcessResult runClient(const std::vector<std::string>& argv) const;

    // Adds a microphone: a second null sink, kMicSinkName, whose monitor,
    // remapped as source "mic", becomes the default source, so the
    // microphone hears what is played into kMicSinkName. kSinkName stays the
    // default sink. Throws when the server refuses.
    static constexpr const char* kMicSinkName = "mic_sink";
    void addMicrophone() const;

  private:
    TempDir dir_;
    std::string server_;
    std::optional<ChildProcess> process_;
};

}  // namespace zarvex::testing
