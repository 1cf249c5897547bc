#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "capture/clock.h"
#include "capture/records.h"
#include "capture/shareable_content.h"
#include "media/media_time.h"
#include "media/video_frame.h"

namespace zarvex {

// What a stream shows: one display (less the windows of the excluded
// processes) or one window on its own, as if nothing covered it.
struct ContentFilter {
    enum class Kind { display, window };

    Kind kind = Kind::display;
    DisplayID displayID = 0;                        // display filters
    WindowID windowID = 0;                          // window filters
    std::vector<std::uint32_t> excludedProcessIDs;  // display filters: their windows are left out
    Rect contentRect;            // the display's or window's frame, global points
    double pointPixelScale = 1;  // pixels per point of that display (of the window's display)
    bool operator==(const ContentFilter&) const = default;
};

// How a stream delivers. Frames are width × height; content larger or smaller
// than that (a window that was resized) is scaled to fit, centred.
struct StreamConfiguration {
    int width = 2;
    int height = 2;
    // Display filters only: the part of the display to deliver, in display-local
    // points (origin at the display's top-left, y down), whole numbers. Parts
    // outside the display are delivered black.
    std::optional<Rect> sourceRect;
    MediaTime minimumFrameInterval{1, 60};

    bool showsCursor = true;
    // At most this many delivered frames may be held by the consumer at once;
    // while it holds that many, changes wait for a later frame.
    int queueDepth = 6;
    bool operator==(const StreamConfiguration&) const = default;
};

// The least time between two delivered frames as host time; none (0) when the
// configuration's interval is not a positive time.
HostTime minimumFrameSpacing(const StreamConfiguration& configuration);

struct ScreenStreamPlan {
    ContentFilter filter;
    StreamConfiguration configuration;
};

// The rectangle with its minimum edges rounded down and its maximum edges
// rounded up (negative sizes are normalised first).
Rect integralRect(const Rect& rect);

// The filter and configuration that record `target`: a display without the
// windows of `ownProcessID`, a window alone, or a region of a display (the
// integral rectangle of its rect); the frame size is the content's points ×
// pointPixelScale through evenPixelSize. Throws RecorderError::noDisplay() for
// an unknown display and RecorderError::windowGone() for a window that is not
// on screen.
ScreenStreamPlan planScreenStream(const ShareableContent& content, const CaptureTarget& target,
                                  bool showsCursor, std::uint32_t ownProcessID);

// The state of a delivered frame. Only `complete` frames carry pixels and only
// they belong in a movie. A stream delivers nothing while its content does not
// change. A window stream delivers one `suspended` frame when its window is
// hidden (complete frames follow once it is shown again) and one `stopped`
// frame when the window is destroyed, after which it delivers nothing more.
enum class FrameStatus { complete = 0, idle, blank, suspended, started, stopped };

struct ScreenFrame {
    FrameStatus status = FrameStatus::complete;
    // Premultiplied BGRA, configuration width × height; empty unless complete.
    // The pixels stay valid while any copy of the frame is held, and are
    // read-only: the stream builds its next frame from this one.
    VideoFrame image;
    HostTime time{};  // host-clock instant the pixels were read
};

// Receives a stream's output, always on the stream's one capture thread
// ("screen-capture"), one call at a time.
class ScreenStreamOutput {
  public:
    virtual ~ScreenStreamOutput() = default;
    virtual void didOutputFrame(const ScreenFrame& frame) = 0;
    // The stream stopped by itself (display disconnected, window system gone;
    // the error is a ScreenCaptureError saying so); no frame follows. Not
    // called for a stop the owner asked for, unless the window system had
    // stopped answering and the stream was cut off to end it.
    virtual void didStopWithError(std::exception_ptr error) = 0;
};

// A running stream. Destroying it stops it.
class ScreenStream {
  public:
    virtual ~ScreenStream() = default;
    // Stops capture and waits until the capture thread has finished: no output
    // call is running or follows once this returns. Returns within about a
    // second even when the window system has stopped answering. Idempotent.
    // Must not be called from the output's own callbacks.
    virtual void stopCapture() = 0;
};

// Port: screen capture streams. `startCapture` returns once the stream's
// first frame (its content as it is) has been delivered, or soon after when
// it is slow to come; the output must outlive the stream. It throws
// RecorderError::noDisplay() / windowGone() when the filter's display or
// window is gone, ScreenCaptureError when capture cannot start.
class ScreenCaptureService {
  public:
    virtual ~ScreenCaptureService() = default;
    virtual std::unique_ptr<ScreenStream> startCapture(const ContentFilter& filter,
                                                       const StreamConfiguration& configuration,
                                                       ScreenStreamOutput& output) = 0;
};

}  // namespace zarvex
