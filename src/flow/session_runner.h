#pragma once

#include <qcoro/qcorotask.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "capture/recording_session.h"
#include "capture/serial_queue.h"

namespace zarvex {

// Makes the session of one recording that is expected to begin at
// `startsAt` (on the main thread: it may read the preferences).
using RecordingSessionFactory = std::function<std::unique_ptr<RecordingSession>(
    const SelectionResult& options, std::chrono::system_clock::time_point startsAt)>;

// How a recording ended.
struct FinishedRecording {
    // The folder, when it holds a recording the editor can open.
    std::optional<std::filesystem::path> folder;
    // Why it ended badly (capture ended by itself, a full disk, a webcam file
    // that failed); null after a clean stop.
    std::exception_ptr failure;
};

// One RecordingSession on a thread of its own ("recording"): the session is
// prepared, started, stopped, aborted or cancelled and destroyed there, so
// the blocking work of a recording never holds up the main thread, and a
// recording that is still being finished never holds up the next one.
//
// Threads: the main thread makes the runner and uses it: prepare() (which
// is not awaited: it goes on while a countdown runs), then start(), and
// stop() after a successful start or abort() after a failed one; or cancel()
// instead of start(). Each operation runs after the ones before it.
// Destroying the runner waits for the thread to end; do it once the last
// operation has completed.
class SessionRunner {
  public:
    SessionRunner(const RecordingSessionFactory& makeSession, SelectionResult options,
                  std::chrono::system_clock::time_point startsAt);
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    const SelectionResult& options() const { return options_; }

    // RecordingSession::prepare(), begun at once. Its failure is start()'s.
    void prepare();
    // RecordingSession::start(), abort() and cancel() with their outcomes.
    QCoro::Task<void> start();
    QCoro::Task<void> abort();
    QCoro::Task<void> cancel();
    // RecordingSession::stop(); never throws.
    QCoro::Task<FinishedRecording> stop();

    // True once screen capture has ended by itself with an error. Any thread.
    bool captureFailed() const;

    static constexpr const char* kThreadName = "recording";

  private:
    SelectionResult options_;
    std::unique_ptr<RecordingSession> session_;  // used and destroyed on queue_
    std::exception_ptr preparation_;             // on queue_: what prepare() threw
    std::atomic<RecordingSession*> started_{nullptr};
    SerialQueue queue_;
};

}  // namespace zarvex
