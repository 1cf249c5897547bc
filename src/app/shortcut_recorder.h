#pragma once

#include <QPushButton>

#include "app/shortcut_settings.h"

namespace zarvex {

// The "Record shortcut" control: a bordered button at least 90 points wide
// showing the shortcut in force. A click starts listening ("Press keys…" in
// the accent colour): the next key press with Ctrl, Alt or Super stores a new
// shortcut, or is refused (with the reason) when a shortcut cannot use its
// key; any other key (Escape, Shift+A) or a second click stops without
// change. While listening every key press of the application is consumed.
class ShortcutRecorder : public QPushButton {
    Q_OBJECT
  public:
    explicit ShortcutRecorder(ShortcutSettings& settings, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    bool isRecording() const { return recording_; }
    // The text shown while not recording.
    QString display() const { return display_; }

    void startRecording();
    void stopRecording();

  signals:
    // Recording stopped on a key a shortcut cannot use; `reason` says why.
    void refused(const QString& reason);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void refresh();

    ShortcutSettings& settings_;
    QString display_;
    bool recording_ = false;
};

}  // namespace zarvex
