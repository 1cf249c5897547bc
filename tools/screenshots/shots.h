#pragma once

#include <QRect>
#include <QString>
#include <functional>

#include "model/theme.h"

class QWidget;

// The screenshot program's registry. Each window of Zarvex registers one
// named shot in a *_shots.cpp file of this folder:
//
//   ZARVEX_SHOT(settings) {
//       SettingsWindow window(...);
//       shot.capture(window, "settings");              // settings-studio.png
//       ...change the state...
//       shot.capture(window, "settings-recorder");     // settings-recorder-studio.png
//   }
//
// The program runs every shot once per theme, with the theme applied to the
// application, on a private X server that scripts/screenshots starts.
namespace zarvex::shots {

class ShotContext {
  public:
    ShotContext(const Theme& theme, QString outputFolder);

    const Theme& theme() const { return theme_; }

    // Shows `window` if needed, lets it settle, and saves what the screen
    // shows of it (with the window manager's frame for framed windows) as
    // NAME-THEMEID.png.
    void capture(QWidget& window, const QString& name);
    // Saves an area of the screen (global coordinates).
    void captureArea(const QRect& area, const QString& name);
    // Lets pending events, animations and repaints run for `ms` milliseconds.
    static void settle(int ms = 150);

    int saved() const { return saved_; }

  private:
    const Theme& theme_;
    QString outputFolder_;
    int saved_ = 0;
};

using ShotFunction = std::function<void(ShotContext&)>;
bool registerShot(const char* name, ShotFunction take);

}  // namespace zarvex::shots

#define ZARVEX_SHOT(name)                                              \
    static void zarvexShot_##name(::zarvex::shots::ShotContext& shot); \
    [[maybe_unused]] static const bool zarvexShotRegistered_##name =   \
        ::zarvex::shots::registerShot(#name, zarvexShot_##name);       \
    static void zarvexShot_##name(::zarvex::shots::ShotContext& shot)
