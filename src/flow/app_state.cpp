#include "flow/app_state.h"

#include <qcoro/qcorosignal.h>

#include <algorithm>
#include <climits>

#include "capture/elapsed_text.h"
#include "flow/awaitables.h"

namespace zarvex {
namespace {

// The description the user is shown for whatever a step threw.
std::string describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Recording failed: an unexpected error occurred.";
    }
}

// Runs `action` when the scope ends, also when a coroutine ends early.
template <typename Action>
class AtExit {
  public:
    explicit AtExit(Action action) : action_(std::move(action)) {}
    ~AtExit() { action_(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

  private:
    Action action_;
};

}  // namespace

AppState::AppState(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {}

AppState::~AppState() = default;

void AppState::setPhase(Phase phase) {
    if (phase_ != phase) {
        phase_ = phase;
        emit phaseChanged(phase);
    }
}

void AppState::setLastErrorMessage(std::optional<std::string> message) {
    if (lastErrorMessage_ != message) {
        lastErrorMessage_ = std::move(message);
        emit lastErrorMessageChanged();
    }
}

void AppState::toggleRecording() {
    if (phase_ == Phase::idle) {
        startRecording();
    } else {
        endPhase();
    }
}

void AppState::endPhase() {
    switch (phase_) {
        case Phase::idle:
            break;
        case Phase::selecting:
            services_.selector->finish(std::nullopt);
            break;
        case Phase::countingDown:
            services_.countdown->cancel();
            break;
        case Phase::recording:
            stopRecording();
            break;
    }
}

void AppState::startRecording() {
    if (phase_ != Phase::idle || quitting_) {
        return;
    }
    setLastErrorMessage(std::nullopt);
    setPhase(Phase::selecting);
    runStart();  // runs on by itself; its end is announced by activityChanged
}

QCoro::Task<void> AppState::runStart() {
    ++starting_;
    emit activityChanged();
    const AtExit ended([this] {
        --starting_;
        emit activityChanged();
    });

    std::exception_ptr refusal;
    try {
        co_await onQueue(permissionQueue_, [permissions = services_.permissions] {
            ensureScreenAndMicrophone(*permissions);
        });
    } catch (...) {
        refusal = std::current_exception();
    }
    if (refusal) {
        setLastErrorMessage(describe(refusal));
        setPhase(Phase::idle);
        co_return;
    }

    const std::optional<SelectionResult> selection = co_await services_.selector->beginSelection();
    if (!selection) {
        setPhase(Phase::idle);
        co_return;
    }

    const auto seconds =
        std::clamp<std::int64_t>(services_.preferences->countdownSeconds(), 0, INT_MAX);
    // The writer, the audio sources and the screen stream get ready while the
    // countdown runs, so recording begins when it ends. The folder is named
    // after that moment.
    auto session = std::make_unique<SessionRunner>(
        services_.makeSession, *selection,
        std::chrono::system_clock::now() + std::chrono::seconds(seconds));
    session->prepare();
    if (seconds > 0) {
        setPhase(Phase::countingDown);
        if (!co_await services_.countdown->run(static_cast<int>(seconds), selection->target)) {
            // The preview left running by a confirmed selection goes too, and
            // so does what was prepared, folder and all.
            services_.stopCamera();
            co_await session->cancel();
            setPhase(Phase::idle);
            co_return;
        }
    }

    std::exception_ptr failure;
    try {
        co_await session->start();
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        co_await session->abort();
        setLastErrorMessage(describe(failure));
        setPhase(Phase::idle);
        co_return;
    }
    session_ = std::move(session);
    setPhase(Phase::recording);
    services_.indicator->show(session_->options().target);
    startElapsedTimer();
}

void AppState::stopRecording() {
    if (!session_) {
        return;
    }
    setPhase(Phase::idle);
    stopElapsedTimer();
    services_.indicator->hide();
    runStop(std::move(session_));
}

QCoro::Task<void> AppState::runStop(std::unique_ptr<SessionRunner> session) {
    ++finishing_;
    emit activityChanged();
    const FinishedRecording finished = co_await session->stop();
    session.reset();
    --finishing_;
    // A recording that ended by itself but kept what it captured opens like
    // any other, with the reason in the editor's banner and on the error line.
    std::optional<std::string> reason;
    if (finished.failure) {
        reason = describe(finished.failure);
    }
    if (finished.folder && !quitting_) {
        services_.openRecording(*finished.folder, reason);
    }
    if (reason) {
        setLastErrorMessage(reason);
    }
    emit activityChanged();
}

void AppState::startElapsedTimer() {
    recordingStartedAt_ = std::chrono::steady_clock::now();
    elapsedText_ = "0:00";
    emit elapsedTextChanged(elapsedText_);
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(1000);
    connect(timer_.get(), &QTimer::timeout, this, &AppState::tick);
    timer_->start();
}

void AppState::stopElapsedTimer() {
    timer_.reset();
    recordingStartedAt_.reset();
}

void AppState::tick() {
    if (!recordingStartedAt_) {
        return;
    }
    const std::string text =
        zarvex::elapsedText(std::chrono::steady_clock::now() - *recordingStartedAt_);
    if (text != elapsedText_) {
        elapsedText_ = text;
        emit elapsedTextChanged(elapsedText_);
    }
    // Capture that ended by itself (the recorded window closed, the display
    // went away) ends the recording: what was captured is kept and the
    // reason becomes the error line.
    if (session_ && session_->captureFailed()) {
        stopRecording();
    }
}

QCoro::Task<void> AppState::finishAll() {
    quitting_ = true;
    for (;;) {
        endPhase();
        if (phase_ == Phase::idle && !isBusy()) {
            co_return;
        }
        co_await qCoro(this, &AppState::activityChanged);
    }
}

}  // namespace zarvex
