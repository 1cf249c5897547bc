#pragma once

#include <cstdint>
#include <memory>

#include "capture/clock.h"
#include "capture/screen_capture.h"
#include "capture/wayland/screencast_portal.h"

namespace zarvex {

// A screen stream fed by one PipeWire node of a running screen cast, which it
// keeps open until it is stopped. `pipeWireFd` (taken over) is the cast's
// PipeWire connection. The stream runs its own "screen-capture" thread:
// shared-memory pictures in the 32-bit RGB layouts are converted to the
// configured frame size (a region is cut out of its display's picture),
// stamped with the desktop's presentation time when it gives a plausible one
// (else the arrival time), and delivered no faster than the minimum frame
// interval; a picture that comes sooner waits and is replaced by a newer one.
// Returns once the first frame is delivered or about two seconds passed;
// throws ScreenCaptureError when PipeWire refuses the stream before that.
std::unique_ptr<ScreenStream> startPipeWireStream(std::unique_ptr<ScreenCast> cast, int pipeWireFd,
                                                  std::uint32_t nodeID, const ContentFilter& filter,
                                                  const StreamConfiguration& configuration,
                                                  ScreenStreamOutput& output, const Clock& clock);

}  // namespace zarvex
