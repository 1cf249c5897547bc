#pragma once

#include <QObject>
#include <QString>

#include "app/shortcut.h"

namespace zarvex {

// The global shortcut as the preferences hold it, shared by the settings
// window (which records a new one) and the tray's hotkey manager (which
// registers it). Main thread only.
class ShortcutSettings : public QObject {
    Q_OBJECT
  public:
    explicit ShortcutSettings(Preferences& preferences, QObject* parent = nullptr);

    // The instance over the user's preferences, created on first use.
    static ShortcutSettings& shared();

    // The shortcut in force (see effectiveHotkey) and its text, built from
    // the same values, so the text always names what is registered.
    Hotkey hotkey() const;
    QString displayText() const;

    // Stores key code, modifiers and text, then announces shortcutChanged.
    void store(const RecordedShortcut& shortcut);

    // Who binds the key: Zarvex itself (the settings record a shortcut), the
    // desktop's shortcut service (its own settings bind it), or nobody (the
    // user binds `zarvex toggle` in the desktop's keyboard settings).
    enum class Binding { recorder, desktop, command };
    Binding binding() const { return binding_; }
    void setBinding(Binding binding);

    // While the recorder listens, the hotkey manager releases its grab so the
    // keys reach the recorder; it grabs again when recording ends.
    void setRecording(bool recording);
    bool isRecording() const { return recording_; }

  signals:
    // A new shortcut was stored: unregister the old hotkey, register this one.
    void shortcutChanged();
    void recordingChanged(bool recording);
    void bindingChanged();

  private:
    Preferences& preferences_;
    bool recording_ = false;
    Binding binding_ = Binding::recorder;
};

}  // namespace zarvex
