#pragma once

#include <QObject>

#include "model/preferences.h"
#include "model/theme.h"

namespace zarvex {

// Publishes the current theme, chosen by the `themeID` preference. Main thread only.
class ThemeManager : public QObject {
    Q_OBJECT
  public:
    explicit ThemeManager(Preferences& preferences, QObject* parent = nullptr);

    // The process-wide manager over the user's preferences, created on first use.
    static ThemeManager& shared();

    const Theme& current() const { return *current_; }

    // Stores the identifier and switches to its theme (Studio for unknown ids;
    // the stored text is kept as given).
    void apply(std::string_view themeID);

  signals:
    void currentChanged();

  private:
    Preferences& preferences_;
    const Theme* current_;
};

}  // namespace zarvex
