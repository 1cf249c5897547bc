#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "capture/audio_capture.h"
#include "capture/clock.h"
#include "capture/input_monitor.h"
#include "capture/screen_capture.h"
#include "capture/shareable_content.h"

namespace zarvex {

// Makes the capture of one audio source; may return null when the system has
// no such source at all (the recording then goes on without it).
using AudioCaptureFactory = std::function<std::unique_ptr<AudioCapture>(AudioSource)>;

// The platform services a recording runs on: the X11 and PulseAudio backends
// in the application, fakes in tests. Everything pointed to must outlive the
// recorders that use it.
struct CaptureServices {
    ShareableContentSource* content = nullptr;      // required
    ScreenCaptureService* screenCapture = nullptr;  // required
    InputMonitor* inputMonitor = nullptr;           // none: no clicks are recorded
    AudioCaptureFactory makeAudioCapture;           // empty: no audio source exists
    const Clock* clock = &systemClock();
    // This process: its windows are left out of display and region recordings.
    std::uint32_t ownProcessID = 0;
};

}  // namespace zarvex
