#include "flow/session_runner.h"

#include "flow/awaitables.h"

namespace zarvex {

SessionRunner::SessionRunner(const RecordingSessionFactory& makeSession, SelectionResult options,
                             std::chrono::system_clock::time_point startsAt)
    : options_(std::move(options)),
      session_(makeSession(options_, startsAt)),
      queue_(kThreadName) {}

SessionRunner::~SessionRunner() {
    started_ = nullptr;
    queue_.sync([this] { session_.reset(); });
}

void SessionRunner::prepare() {
    queue_.post([this] {
        try {
            session_->prepare();
        } catch (...) {
            preparation_ = std::current_exception();
        }
    });
}

QCoro::Task<void> SessionRunner::start() {
    co_await onQueue(queue_, [this] {
        if (preparation_) {
            std::rethrow_exception(preparation_);
        }
        session_->start();
        started_ = session_.get();
    });
}

QCoro::Task<FinishedRecording> SessionRunner::stop() {
    co_return co_await onQueue(queue_, [this] {
        FinishedRecording finished;
        try {
            finished.folder = session_->stop();
        } catch (...) {
            finished.failure = std::current_exception();
            if (session_->keptRecording()) {
                finished.folder = session_->bundleURL();
            }
        }
        return finished;
    });
}

QCoro::Task<void> SessionRunner::abort() {
    co_await onQueue(queue_, [this] { session_->abort(); });
}

QCoro::Task<void> SessionRunner::cancel() {
    co_await onQueue(queue_, [this] { session_->cancel(); });
}

bool SessionRunner::captureFailed() const {
    const RecordingSession* session = started_;
    return session != nullptr && session->captureFailed();
}

}  // namespace zarvex
