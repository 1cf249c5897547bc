#include "ui/application_theme.h"

#include <QApplication>
#include <QWidget>
#include <optional>

#include "ui/look.h"

namespace zarvex {
namespace {

std::optional<Theme>& appliedTheme() {
    static std::optional<Theme> theme;
    return theme;
}

}  // namespace

ApplicationTheme::ApplicationTheme(ThemeManager& manager, QObject* parent) : QObject(parent) {
    apply(manager.current());
    connect(&manager, &ThemeManager::currentChanged, this,
            [&manager] { apply(manager.current()); });
}

void ApplicationTheme::apply(const Theme& theme) {
    appliedTheme() = theme;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        return;
    }
    QApplication::setPalette(themePalette(theme));
    QApplication::setFont(themeBodyFont(theme));
    app->setStyleSheet(themeStyleSheet(theme));
}

const Theme& ApplicationTheme::current() {
    return appliedTheme() ? *appliedTheme() : Theme::studio();
}

void applyRetroLightScheme(QWidget& widget, bool active) {
    widget.setPalette(active ? retroLightPalette(themeAccent(ApplicationTheme::current()))
                             : QPalette());
}

}  // namespace zarvex
