#include "flow/camera_controller.h"

#include "flow/awaitables.h"

namespace zarvex {

CameraController::CameraController(std::function<std::unique_ptr<CameraManager>()> makeManager)
    : queue_(kThreadName) {
    queue_.post([this, makeManager = std::move(makeManager)] {
        manager_ = makeManager();
        failureWatch_ = manager_.get();
    });
}

CameraController::~CameraController() {
    queue_.sync([this] {
        failureWatch_ = nullptr;
        manager_.reset();
    });
}

QCoro::Task<void> CameraController::startPreview() {
    co_await onQueue(queue_, [this] { manager_->startPreview(); });
}

void CameraController::stop() {
    queue_.post([this] { manager_->stop(); });
}

void CameraController::Webcam::startWriting(const std::filesystem::path& file,
                                            HostTime sessionStart) {
    owner_.queue_.sync(
        [this, &file, sessionStart] { owner_.manager_->startWriting(file, sessionStart); });
}

void CameraController::Webcam::stopWriting() {
    owner_.queue_.sync([this] { owner_.manager_->stopWriting(); });
}

bool CameraController::Webcam::writerFailed() const {
    const CameraManager* manager = owner_.failureWatch_;
    return manager != nullptr && manager->writerFailed();
}

void CameraController::Webcam::stop() {
    owner_.queue_.sync([this] { owner_.manager_->stop(); });
}

}  // namespace zarvex
