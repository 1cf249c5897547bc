#pragma once

#include <chrono>
#include <memory>
#include <thread>

namespace zarvex::testing {

// Measures how long the main thread keeps its events waiting because it is
// busy or blocked. A probe thread posts an event to the main thread every few
// milliseconds (the next only once the last was handled). While a probe
// waits, the time the main thread spends computing (its CPU time) and blocked
// (sleeping in a lock or on the disk, seen every millisecond in its state)
// counts against it; time it spends ready but without a processor (a busy or
// oversubscribed machine) does not. Create it on the main thread, which must
// run its event loop.
class MainThreadWatchdog {
  public:
    MainThreadWatchdog();
    ~MainThreadWatchdog();
    MainThreadWatchdog(const MainThreadWatchdog&) = delete;
    MainThreadWatchdog& operator=(const MainThreadWatchdog&) = delete;

    // The longest a probe waited for the main thread's own work or blocking,
    // and how many probes were handled.
    std::chrono::milliseconds longestStall() const;
    int probes() const;
    // Forgets what was measured.
    void reset();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread probe_;
};

}  // namespace zarvex::testing
