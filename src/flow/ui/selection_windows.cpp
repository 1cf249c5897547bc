#include "flow/ui/selection_windows.h"

#include <QScreen>

#include "flow/ui/screen_geometry.h"
#include "flow/ui/selection_overlay.h"

namespace zarvex {

SelectionWidget::~SelectionWidget() {
    if (widget_) {
        widget_->hide();
        // An event of the widget may be what ended the selection.
        widget_->deleteLater();
    }
}

void SelectionWidget::makeKey() {
    // Focus only: raising it would cover the controls panel.
    if (widget_) {
        widget_->activateWindow();
        widget_->setFocus(Qt::ActiveWindowFocusReason);
    }
}

SelectionWindows::SelectionWindows(bool translucent, ControlsFactory makeControls, ViewHost host)
    : translucent_(translucent), makeControls_(std::move(makeControls)), host_(std::move(host)) {}

std::unique_ptr<SelectionWindow> SelectionWindows::showOverlay(SelectionModel& model,
                                                               const ShareableDisplay& display,
                                                               OverlayActions actions) {
    QScreen* screen = screenForDisplay(display);
    QImage still = translucent_ ? QImage() : grabScreen(screen);
    auto* overlay = new SelectionOverlay(model, display, std::move(still),
                                         std::move(actions.onReturn), std::move(actions.onEscape));
    // A display that goes away takes its overlay along.
    if (screen != nullptr) {
        QObject::connect(screen, &QObject::destroyed, overlay, &QWidget::close);
    }
    if (host_) {
        host_(*overlay, toQRectF(display.frame));
    }
    overlay->show();
    overlay->raise();
    return std::make_unique<SelectionWidget>(overlay);
}

std::unique_ptr<SelectionWindow> SelectionWindows::showControls(SelectionModel& model,
                                                                const ShareableDisplay& display,
                                                                ControlsActions actions) {
    if (!makeControls_) {
        return std::make_unique<SelectionWidget>(nullptr);
    }
    QWidget* panel = makeControls_(model, std::move(actions));
    panel->adjustSize();
    const Point origin =
        controlsBarOrigin(display.frame, {panel->width() * 1.0, panel->height() * 1.0});
    if (host_) {
        host_(*panel, QRectF(toQPointF(origin), QSizeF(panel->size())));
    } else {
        panel->move(toQPointF(origin).toPoint());
    }
    panel->show();
    panel->raise();
    return std::make_unique<SelectionWidget>(panel);
}

}  // namespace zarvex
