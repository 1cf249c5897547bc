#pragma once

#include <qcoro/qcorotask.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

#include "capture/recording_session.h"
#include "capture/serial_queue.h"

namespace zarvex {

// Makes the session of one recording (on the main thread: it may read the
// preferences).
using RecordingSessionFactory =
    std::function<std::unique_ptr<RecordingSession>(const SelectionResult& options)>;

// One RecordingSession on a thread of its own ("recording"): the session is
// started, stopped or aborted and destroyed there, so the blocking work of a
// recording never holds up the main thread, and a recording that is still
// being finished never holds up the next one.
//
// Threads: the main thread makes the runner and awaits its operations, one at
// a time: start(), then stop() after a successful start or abort() after a
// failed one. Destroying the runner waits for the thread to end; do it once
// the last operation has completed.
class SessionRunner {
  public:
    SessionRunner(const RecordingSessionFactory& makeSession, SelectionResult options);
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    const SelectionResult& options() const { return options_; }

    // RecordingSession::start(), stop() and abort() with their outcomes.
    QCoro::Task<void> start();
    QCoro::Task<std::filesystem::path> stop();
    QCoro::Task<void> abort();

    // True once screen capture has ended by itself with an error. Any thread.
    bool captureFailed() const;

    static constexpr const char* kThreadName = "recording";

  private:
    SelectionResult options_;
    std::unique_ptr<RecordingSession> session_;  // used and destroyed on queue_
    std::atomic<RecordingSession*> started_{nullptr};
    SerialQueue queue_;
};

}  // namespace zarvex
