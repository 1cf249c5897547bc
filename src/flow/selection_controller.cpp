#include "flow/selection_controller.h"

#include "capture/camera_capture.h"
#include "capture/errors.h"

namespace zarvex {

SelectionController::SelectionController(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {}

SelectionController::~SelectionController() {
    finish(std::nullopt);
}

ShareableContent SelectionController::desktop() const {
    try {
        return services_.desktop();
    } catch (const std::exception&) {
        // Without the window system's answer there is nothing to select.
        return {};
    }
}

QCoro::Task<std::optional<SelectionResult>> SelectionController::beginSelection() {
    if (completion_) {
        co_return std::nullopt;
    }
    const auto completion = std::make_shared<Pending>();
    completion_ = completion;

    const ShareableContent content = desktop();
    const ShareableDisplay* here = displayAt(content.displays, services_.pointer());
    Selection initial = Selection::initial(*services_.preferences);
    if (here != nullptr) {
        initial.selectedDisplayID = here->id;
    }
    auto* model = new SelectionModel(
        std::move(initial), [this] { return desktop().windows; }, services_.ownProcessID, this);
    model_ = model;

    if (services_.windowChooser != nullptr) {
        model->chooseWindowsOnDesktop(services_.windowChooser->offersWindows());
        connect(model, &SelectionModel::windowChoiceWanted, this,
                [this, model] { chooseWindow(model); });
    }
    if (model->selection().cameraEnabled) {
        startPreview(model, false);
    }
    connect(model, &SelectionModel::cameraEnabledChanged, this, [this, model](bool on) {
        if (on) {
            startPreview(model, true);
        } else if (services_.camera != nullptr) {
            services_.camera->stop();
        }
    });

    QPointer<SelectionController> self(this);
    const auto confirmAction = [self] {
        if (self) {
            self->confirm();
        }
    };
    const auto cancelAction = [self] {
        if (self) {
            self->cancel();
        }
    };
    SelectionWindow* key = nullptr;
    for (const ShareableDisplay& display : content.displays) {
        overlays_.push_back(
            services_.views->showOverlay(*model, display, {confirmAction, cancelAction}));
        if (here != nullptr && display.id == here->id && key == nullptr) {
            key = overlays_.back().get();
        }
    }
    if (here != nullptr) {
        panel_ = services_.views->showControls(*model, *here, {confirmAction, cancelAction});
    }
    if (key != nullptr) {
        key->makeKey();
    }

    co_return co_await completion->wait();
}

void SelectionController::confirm() {
    if (model_ == nullptr) {
        return;
    }
    if (const auto result = model_->selection().makeResult()) {
        finish(result);
    }
}

void SelectionController::cancel() {
    finish(std::nullopt);
}

void SelectionController::finish(std::optional<SelectionResult> result) {
    overlays_.clear();
    panel_.reset();
    if (model_ != nullptr) {
        // It may be the sender of what led here: let it go once that is done.
        model_->disconnect(this);
        model_->deleteLater();
        model_ = nullptr;
    }
    if (services_.windowChooser != nullptr) {
        std::optional<WindowID> kept;
        if (result) {
            if (const auto* window = std::get_if<WindowTarget>(&result->target)) {
                kept = window->windowID;
            }
        }
        services_.windowChooser->keepOnly(kept);
    }
    // Confirmed with the camera on, the camera keeps running for the recording.
    if ((!result || !result->cameraEnabled) && services_.camera != nullptr) {
        services_.camera->stop();
    }
    if (completion_) {
        std::exchange(completion_, nullptr)->complete(std::move(result));
    }
}

QCoro::Task<void> SelectionController::chooseWindow(QPointer<SelectionModel> model) {
    // One dialog at a time; the desktop's own is modal to the user anyway.
    if (choosingWindow_) {
        co_return;
    }
    choosingWindow_ = true;
    std::optional<WindowPick> pick;
    std::optional<std::string> failure;
    try {
        pick = co_await services_.windowChooser->choose(model->selection().cursorEnabled);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    choosingWindow_ = false;
    // A selection that has finished meanwhile takes no notice; its pick is
    // let go with the next selection's end.
    if (model == nullptr) {
        if (pick && !completion_) {
            services_.windowChooser->keepOnly(std::nullopt);
        }
        co_return;
    }
    if (pick) {
        model->setWindowPick(pick);
    } else if (failure && services_.reportError) {
        services_.reportError(*failure);
    }
}

QCoro::Task<void> SelectionController::startPreview(QPointer<SelectionModel> model,
                                                    bool reportFailure) {
    std::optional<std::string> failure;
    if (services_.camera == nullptr) {
        failure = RecorderError::writerFailed(kNoCameraMessage).what();
    } else {
        try {
            co_await services_.camera->startPreview();
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    // A selection that has finished meanwhile takes no notice.
    if (failure && model != nullptr) {
        model->setCameraEnabled(false);
        if (reportFailure && services_.reportError) {
            services_.reportError(*failure);
        }
    }
}

}  // namespace zarvex
