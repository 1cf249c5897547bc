#pragma once

#include <QObject>

#include "model/theme.h"
#include "model/theme_manager.h"

namespace zarvex {

// The one place where a theme reaches the application: palette (the retro
// light scheme or the dark stage), font by `fontDesign` and the style sheet
// built from the theme's role table. Every widget then receives palette,
// font and style change events at once; custom-painted widgets rebuild their
// caches on them and read the theme from current(). Main thread only.
class ApplicationTheme : public QObject {
    Q_OBJECT
  public:
    // Applies the manager's current theme now and after every currentChanged.
    // Create it before any window connects to the manager, so windows that
    // react to the signal already see the new palette.
    explicit ApplicationTheme(ThemeManager& manager, QObject* parent = nullptr);

    // Applies one theme to the running QApplication.
    static void apply(const Theme& theme);

    // The theme last applied; Studio before any.
    static const Theme& current();
};

// The window-local form of the retro light scheme: when `active`, `widget`
// and its children are drawn in the light palette whatever the application
// shows; otherwise they inherit the application's palette again.
void applyRetroLightScheme(QWidget& widget, bool active);

}  // namespace zarvex
