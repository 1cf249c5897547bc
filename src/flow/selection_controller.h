#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flow/awaitables.h"
#include "flow/camera_controller.h"
#include "flow/flow_ports.h"
#include "flow/selection_model.h"
#include "model/preferences.h"

namespace zarvex {

// A window shown while the user selects; destroying the handle closes it.
class SelectionWindow {
  public:
    virtual ~SelectionWindow() = default;
    // Gives the window the keyboard (an overlay takes Return and Escape).
    virtual void makeKey() = 0;
};

// Port: the windows of a selection, provided by the user interface.
class SelectionViews {
  public:
    struct OverlayActions {
        std::function<void()> onReturn;
        std::function<void()> onEscape;
    };
    struct ControlsActions {
        std::function<void()> onStart;
        std::function<void()> onCancel;
    };

    virtual ~SelectionViews() = default;
    // An overlay covering `display`, shown at once, drawing `model`.
    virtual std::unique_ptr<SelectionWindow> showOverlay(SelectionModel& model,
                                                         const ShareableDisplay& display,
                                                         OverlayActions actions) = 0;
    // The controls bar in its floating panel on `display`, above the overlays.
    virtual std::unique_ptr<SelectionWindow> showControls(SelectionModel& model,
                                                          const ShareableDisplay& display,
                                                          ControlsActions actions) = 0;
};

// Runs one selection at a time: an overlay per display and the controls bar,
// the camera preview while the camera switch is on, and the result handed to
// the one caller of beginSelection(). Main thread only.
class SelectionController : public QObject, public TargetSelector {
    Q_OBJECT
  public:
    struct Services {
        // Displays (primary first) and windows (front to back); may throw.
        std::function<ShareableContent()> desktop;
        // The pointer in global points.
        std::function<Point()> pointer;
        std::uint32_t ownProcessID = 0;
        Preferences* preferences = nullptr;
        SelectionViews* views = nullptr;
        CameraController* camera = nullptr;  // none: the camera switch cannot stay on
        // The desktop's window chooser; none: windows are picked on the overlays.
        WindowChooser* windowChooser = nullptr;
        // Where a camera that fails after the user switched it on is reported.
        std::function<void(const std::string&)> reportError;
    };

    explicit SelectionController(Services services, QObject* parent = nullptr);
    ~SelectionController() override;

    QCoro::Task<std::optional<SelectionResult>> beginSelection() override;
    void finish(std::optional<SelectionResult> result) override;
    // Record, Return, Enter: finishes with the model's result when it can start.
    void confirm();
    // Cancel, Escape.
    void cancel();

    bool isSelecting() const { return completion_ != nullptr; }
    // The running selection's model; null when none runs.
    SelectionModel* model() const { return model_; }

  private:
    using Pending = Completion<std::optional<SelectionResult>>;

    ShareableContent desktop() const;
    QCoro::Task<void> startPreview(QPointer<SelectionModel> model, bool reportFailure);
    QCoro::Task<void> chooseWindow(QPointer<SelectionModel> model);

    Services services_;
    std::shared_ptr<Pending> completion_;
    QPointer<SelectionModel> model_;
    std::vector<std::unique_ptr<SelectionWindow>> overlays_;
    std::unique_ptr<SelectionWindow> panel_;
    bool choosingWindow_ = false;
};

}  // namespace zarvex
