#pragma once

// Scripted stand-ins for the selection, the countdown and the recording frame,
// and a recording's services on fakes, for the recording flow's tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <atomic>
#include <mutex>
#include <set>

#include "capture/recording_session.h"
#include "event_loop.h"
#include "fake_camera.h"
#include "fake_permissions.h"
#include "fake_screen_capture.h"
#include "flow/awaitables.h"
#include "flow/camera_controller.h"
#include "flow/flow_ports.h"
#include "media/named_thread.h"
#include "temp_dir.h"

namespace zarvex::testing {

// QCoro::waitFor(task), which never returns when the task throws (QCoro 0.8):
// waits for the task in a wrapper that catches, then rethrows here.
template <typename T>
T awaitTask(QCoro::Task<T> task) {
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    QCoro::waitFor(
        [](QCoro::Task<T> task, std::exception_ptr& error, auto& result) -> QCoro::Task<void> {
            try {
                if constexpr (std::is_void_v<T>) {
                    co_await task;
                    result = true;
                } else {
                    result = co_await task;
                }
            } catch (...) {
                error = std::current_exception();
            }
        }(std::move(task), error, result));
    if (error) {
        std::rethrow_exception(error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*result);
    }
}

// Answers a selection when the test says so.
class ScriptedSelector : public TargetSelector {
  public:
    int begun = 0;
    std::vector<std::optional<SelectionResult>> finished;

    QCoro::Task<std::optional<SelectionResult>> beginSelection() override {
        ++begun;
        pending_ = std::make_shared<Completion<std::optional<SelectionResult>>>();
        auto pending = pending_;
        co_return co_await pending->wait();
    }
    void finish(std::optional<SelectionResult> result) override {
        finished.push_back(result);
        answer(std::move(result));
    }
    void answer(std::optional<SelectionResult> result) {
        if (pending_) {
            std::exchange(pending_, nullptr)->complete(std::move(result));
        }
    }
    bool isAsking() const { return pending_ != nullptr; }

  private:
    std::shared_ptr<Completion<std::optional<SelectionResult>>> pending_;
};

// A countdown that runs until the test (or a cancel) ends it.
class ScriptedCountdown : public Countdown {
  public:
    std::vector<int> runs;
    int cancels = 0;

    QCoro::Task<bool> run(int seconds, CaptureTarget) override {
        runs.push_back(seconds);
        pending_ = std::make_shared<Completion<bool>>();
        auto pending = pending_;
        co_return co_await pending->wait();
    }
    void cancel() override {
        ++cancels;
        end(false);
    }
    void end(bool ranOut) {
        if (pending_) {
            std::exchange(pending_, nullptr)->complete(ranOut);
        }
    }

  private:
    std::shared_ptr<Completion<bool>> pending_;
};

class LoggedIndicator : public Indicator {
  public:
    std::vector<std::string> log;
    void show(const CaptureTarget& target) override {
        log.push_back(std::holds_alternative<DisplayTarget>(target) ? "show display" : "show");
    }
    void hide() override { log.push_back("hide"); }
};

class NoWebcam : public WebcamWriting {
  public:
    void startWriting(const std::filesystem::path&, HostTime) override {}
    void stopWriting() override {}
    bool writerFailed() const override { return false; }
    void stop() override {}
};

// A camera behind a CameraController whose every use notes the thread it
// came from, with a preview that counts how often it was shown and hidden.
class CameraRig {
  public:
    // Set before the camera is first started: start() then fails with it.
    std::optional<std::string> startFailure;
    CountingPreview::Counts preview{.onUse = [this] { note(); }};
    std::atomic<bool> running{false};

    // The names of the threads the camera and its preview were used from.
    std::set<std::string> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }

  private:
    void note() const {
        std::lock_guard lock(mutex_);
        threads_.insert(currentThreadName());
    }

    class Camera : public FakeCamera {
      public:
        explicit Camera(CameraRig& rig) : rig_(rig) { startFailure = rig.startFailure; }
        void start(FrameHandler handler) override {
            rig_.note();
            FakeCamera::start(std::move(handler));
            rig_.running = true;
        }
        void stop() override {
            rig_.note();
            FakeCamera::stop();
            rig_.running = false;
        }
        bool isRunning() const override {
            rig_.note();
            return FakeCamera::isRunning();
        }

      private:
        CameraRig& rig_;
    };

    FakePermissionAuthority permissions;
    mutable std::mutex mutex_;
    mutable std::set<std::string> threads_;

  public:
    // Last: the camera thread uses everything above until it ends.
    CameraController controller{[this] {
        return std::make_unique<CameraManager>(
            [this] { return std::make_unique<Camera>(*this); }, permissions,
            [this] { return std::make_unique<CountingPreview>(preview); });
    }};
};

}  // namespace zarvex::testing
