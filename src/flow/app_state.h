#pragma once

#include <QObject>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "capture/permissions.h"
#include "capture/serial_queue.h"
#include "flow/flow_ports.h"
#include "flow/session_runner.h"
#include "model/preferences.h"

namespace zarvex {

// The one state of the recording flow: where it stands, the elapsed time of
// the recording and the application's one error line. The tray menu and the
// global hotkey drive it through toggleRecording().
//
// Threads: everything here belongs to the main thread. The long steps run as
// coroutines on it: the permission check runs on a thread of its own, every
// recording's session on its own thread (SessionRunner), and their results
// come back by queued calls. A recording that is being finished does not hold
// up the next one: the phase is idle as soon as stopping begins.
class AppState : public QObject {
    Q_OBJECT
  public:
    enum class Phase { idle, selecting, countingDown, recording };

    // What the flow runs on. Each must outlive the state.
    struct Services {
        PermissionAuthority* permissions = nullptr;
        Preferences* preferences = nullptr;
        TargetSelector* selector = nullptr;
        Countdown* countdown = nullptr;
        Indicator* indicator = nullptr;
        RecordingSessionFactory makeSession;
        // Stops the camera (and hides its preview) after a cancelled countdown.
        std::function<void()> stopCamera;
        // Opens a finished recording folder in the editor; `notice` (why the
        // recording ended by itself) goes in the window's banner.
        std::function<void(const std::filesystem::path&, std::optional<std::string> notice)>
            openRecording;
    };

    explicit AppState(Services services, QObject* parent = nullptr);
    ~AppState() override;

    Phase phase() const { return phase_; }
    const std::string& elapsedText() const { return elapsedText_; }
    const std::optional<std::string>& lastErrorMessage() const { return lastErrorMessage_; }
    bool isRecording() const { return session_ != nullptr; }
    // A start or stop is still under way (including a recording that is being
    // finished while the phase is already idle).
    bool isBusy() const { return starting_ > 0 || finishing_ > 0; }

    // The primary action: idle → start; selecting → cancel the selection;
    // counting down → cancel the countdown; recording → stop.
    void toggleRecording();
    void startRecording();
    void stopRecording();

    void setLastErrorMessage(std::optional<std::string> message);

    // Before the program quits: cancels a selection or countdown, stops the
    // recording, and completes once every recording has been finished. No
    // editor opens for what finishes from here on.
    QCoro::Task<void> finishAll();

  signals:
    void phaseChanged(zarvex::AppState::Phase phase);
    void elapsedTextChanged(const std::string& text);
    void lastErrorMessageChanged();
    // isBusy() may have changed.
    void activityChanged();

  private:
    QCoro::Task<void> runStart();
    QCoro::Task<void> runStop(std::unique_ptr<SessionRunner> session);
    void setPhase(Phase phase);
    // Cancels the selection or countdown, or stops the recording.
    void endPhase();
    void startElapsedTimer();
    void stopElapsedTimer();
    void tick();

    Services services_;
    Phase phase_ = Phase::idle;
    std::string elapsedText_ = "0:00";
    std::optional<std::string> lastErrorMessage_;
    std::unique_ptr<SessionRunner> session_;
    std::unique_ptr<QTimer> timer_;
    std::optional<std::chrono::steady_clock::time_point> recordingStartedAt_;
    int starting_ = 0;
    int finishing_ = 0;
    bool quitting_ = false;
    SerialQueue permissionQueue_{"permissions"};
};

}  // namespace zarvex
