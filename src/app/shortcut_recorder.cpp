#include "app/shortcut_recorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>

namespace zarvex {

ShortcutRecorder::ShortcutRecorder(ShortcutSettings& settings, QWidget* parent)
    : QPushButton(parent), settings_(settings), display_(settings.displayText()) {
    setMinimumWidth(90);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, [this] {
        if (recording_) {
            stopRecording();
        } else {
            startRecording();
        }
    });
    connect(&settings_, &ShortcutSettings::shortcutChanged, this, [this] {
        display_ = settings_.displayText();
        refresh();
    });
    refresh();
}

ShortcutRecorder::~ShortcutRecorder() {
    stopRecording();
}

void ShortcutRecorder::startRecording() {
    if (recording_) {
        return;
    }
    // The local key monitor: every key press of the application comes here.
    qApp->installEventFilter(this);
    recording_ = true;
    settings_.setRecording(true);
    refresh();
}

void ShortcutRecorder::stopRecording() {
    if (!recording_) {
        return;
    }
    qApp->removeEventFilter(this);
    recording_ = false;
    settings_.setRecording(false);
    refresh();
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!recording_) {
        return QPushButton::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyRelease) {
        event->accept();
        return true;
    }
    if (event->type() != QEvent::KeyPress) {
        return QPushButton::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const KeyPressResult result = shortcutFromKeyPress(key->key(), int(key->modifiers()));
    switch (result.outcome) {
        case KeyPressOutcome::keepListening:
            break;
        case KeyPressOutcome::cancel:
            stopRecording();
            break;
        case KeyPressOutcome::refuse:
            stopRecording();
            emit refused(QString::fromStdString(result.reason));
            break;
        case KeyPressOutcome::record:
            settings_.store(*result.shortcut);
            display_ = QString::fromStdString(result.shortcut->text);
            stopRecording();
            break;
    }
    return true;  // always consumed
}

void ShortcutRecorder::hideEvent(QHideEvent* event) {
    stopRecording();
    QPushButton::hideEvent(event);
}

void ShortcutRecorder::refresh() {
    setText(recording_ ? QStringLiteral("Press keys…") : display_);
    setProperty("recording", recording_);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

}  // namespace zarvex
