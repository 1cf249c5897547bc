#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "capture/input_monitor.h"
#include "capture/records.h"
#include "capture/shareable_content.h"
#include "model/project.h"

namespace zarvex {

// Notes every left and right press inside the recorded area while a recording
// runs, as a time since T0 and a position in fractions of the area.
//
// Threads: start(), stop() and the destructor are called by the owner from one
// thread; presses arrive on the input monitor's thread. The collected clicks
// are guarded by a lock and read at stop, after the monitor is removed, so no
// press is added while stop() reads them.
class MouseEventRecorder {
  public:
    // The recorded area of a target in global display coordinates: a display's
    // frame; for a region, the display's origin plus the region's rect; for a
    // window, its frame now. The zero rectangle when the display or window is
    // unknown or the desktop cannot be read.
    static Rect captureRect(const CaptureTarget& target, ShareableContentSource& content);

    MouseEventRecorder(InputMonitor& monitor, double sessionStartSeconds, Rect captureRect);
    ~MouseEventRecorder();
    MouseEventRecorder(const MouseEventRecorder&) = delete;
    MouseEventRecorder& operator=(const MouseEventRecorder&) = delete;

    // Installs the monitor, unless it is installed already or the rectangle is
    // empty (then no click is ever recorded). Throws what the monitor throws.
    void start();

    // Removes the monitor (if any) and returns version 1 with every click so
    // far; the clicks are kept. Allowed without start().
    RecordedEvents stop();

    double sessionStartSeconds() const { return sessionStartSeconds_; }
    const Rect& captureRect() const { return captureRect_; }

  private:
    void handle(const MouseEvent& event);

    InputMonitor& inputMonitor_;
    std::unique_ptr<InputMonitorToken> monitor_;
    const double sessionStartSeconds_;
    const Rect captureRect_;
    std::mutex clicksMutex_;
    std::vector<RecordedClick> clicks_;
};

}  // namespace zarvex
