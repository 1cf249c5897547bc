#include "model/theme_manager.h"

#include "model/settings_store.h"

namespace zarvex {

ThemeManager::ThemeManager(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences), current_(&Theme::named(preferences.themeID())) {}

ThemeManager& ThemeManager::shared() {
    static ThemeManager manager(userPreferences());
    return manager;
}

void ThemeManager::apply(std::string_view themeID) {
    preferences_.setThemeID(themeID);
    const Theme* next = &Theme::named(themeID);
    if (next != current_) {
        current_ = next;
        emit currentChanged();
    }
}

}  // namespace zarvex
