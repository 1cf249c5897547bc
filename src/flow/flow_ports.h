#pragma once

// What the recording flow needs of target selection, the countdown and the
// recording frame. The shared controllers implement these; tests put
// scripted ones in their place. Everything here is used on the main thread.

#include <qcoro/qcorotask.h>

#include <optional>

#include "capture/records.h"
#include "capture/selection_rules.h"

namespace zarvex {

class TargetSelector {
  public:
    virtual ~TargetSelector() = default;
    // Lets the user choose; nothing when they cancel or a selection is already
    // running (which is left alone).
    virtual QCoro::Task<std::optional<SelectionResult>> beginSelection() = 0;
    // Ends the running selection with `result` (nothing: cancelled); does
    // nothing when none runs.
    virtual void finish(std::optional<SelectionResult> result) = 0;
};

// Where the desktop's own chooser picks the window to record (Wayland: no
// program may look at the others' windows). Main thread.
class WindowChooser {
  public:
    virtual ~WindowChooser() = default;
    // Whether the desktop shares single windows at all.
    virtual bool offersWindows() = 0;
    // Shows the desktop's chooser; the window picked, nothing when the user
    // cancelled. Throws with the words for the user when the desktop fails.
    virtual QCoro::Task<std::optional<WindowPick>> choose(bool showsCursor) = 0;
    // The selection has ended: every pick but `kept` is let go.
    virtual void keepOnly(std::optional<WindowID> kept) = 0;
};

class Countdown {
  public:
    virtual ~Countdown() = default;
    // Counts `seconds` down on the target's screen; true when it ran out (or
    // did not run), false when it was cancelled.
    virtual QCoro::Task<bool> run(int seconds, CaptureTarget target) = 0;
    // Cancels the running countdown at the end of its current second.
    virtual void cancel() = 0;
};

class Indicator {
  public:
    virtual ~Indicator() = default;
    // Marks the recorded area until hide() (or the next show()).
    virtual void show(const CaptureTarget& target) = 0;
    virtual void hide() = 0;
};

}  // namespace zarvex
