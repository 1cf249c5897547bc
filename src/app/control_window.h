#pragma once

#include <QPointer>

#include "ui/window_backdrop.h"

class QVBoxLayout;

namespace zarvex {

class TrayMenu;

// The tray menu as a small window titled "Zarvex", for desktops without a
// tray host: one button per menu item, grouped as the menu's separators group
// them, each bound to the menu's own action (so it follows the menu's texts,
// state and shortcuts, and triggers what the menu triggers). Main thread.
class ControlWindow : public WindowBackdrop {
    Q_OBJECT
  public:
    explicit ControlWindow(TrayMenu& tray, QWidget* parent = nullptr);

    // Shows it, raised and activated.
    void present();

  signals:
    // The user closed the window.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void rebuild();

    TrayMenu& tray_;
    QVBoxLayout* groups_ = nullptr;
};

}  // namespace zarvex
