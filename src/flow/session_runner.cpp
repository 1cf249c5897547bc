#include "flow/session_runner.h"

#include "flow/awaitables.h"

namespace zarvex {

SessionRunner::SessionRunner(const RecordingSessionFactory& makeSession, SelectionResult options)
    : options_(std::move(options)), session_(makeSession(options_)), queue_(kThreadName) {}

SessionRunner::~SessionRunner() {
    started_ = nullptr;
    queue_.sync([this] { session_.reset(); });
}

QCoro::Task<void> SessionRunner::start() {
    co_await onQueue(queue_, [this] {
        session_->start();
        started_ = session_.get();
    });
}

QCoro::Task<std::filesystem::path> SessionRunner::stop() {
    co_return co_await onQueue(queue_, [this] { return session_->stop(); });
}

QCoro::Task<void> SessionRunner::abort() {
    co_await onQueue(queue_, [this] { session_->abort(); });
}

bool SessionRunner::captureFailed() const {
    const RecordingSession* session = started_;
    return session != nullptr && session->captureFailed();
}

}  // namespace zarvex
