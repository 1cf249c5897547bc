#pragma once

#include <QSettings>

#include "model/preferences.h"

namespace zarvex {

// The user's preferences in QSettings (organisation "Zarvex", application
// "Zarvex"; an INI file under ~/.config). Main thread only.
class SettingsStore : public KeyValueStore {
  public:
    SettingsStore();
    std::optional<PreferenceValue> value(std::string_view key) const override;
    void setValue(std::string_view key, const PreferenceValue& value) override;
    void remove(std::string_view key) override;

  private:
    mutable QSettings settings_;
};

// The process-wide preferences over the user's store, created on first use.
Preferences& userPreferences();

}  // namespace zarvex
