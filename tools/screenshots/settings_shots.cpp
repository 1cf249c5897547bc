// The settings window (also with the shortcut recorder listening, and after
// it refused a key) and the update dialog's faces.
#include "app/launch_at_login.h"
#include "app/settings_window.h"
#include "app/shortcut_recorder.h"
#include "app/update_dialog.h"
#include "model/settings_store.h"
#include "shots.h"

ZARVEX_SHOT(settings) {
    using namespace zarvex;
    SettingsWindow window({userPreferences(), ThemeManager::shared(), ShortcutSettings::shared(),
                           LaunchAtLogin::shared()});
    window.move(120, 60);
    shot.capture(window, "settings");
    window.shortcutRecorder()->startRecording();
    shot.capture(window, "settings-recorder");
    window.shortcutRecorder()->stopRecording();
    emit window.shortcutRecorder()->refused(
        QString::fromStdString(shortcutFromKeyPress(Qt::Key_VolumeUp, Qt::ControlModifier).reason));
    shot.capture(window, "settings-shortcut-refused");
    // Where the desktop binds the key (Wayland), with and without its service.
    ShortcutSettings::shared().setBinding(ShortcutSettings::Binding::desktop);
    shot.capture(window, "settings-shortcut-desktop");
    ShortcutSettings::shared().setBinding(ShortcutSettings::Binding::command);
    shot.capture(window, "settings-shortcut-command");
    ShortcutSettings::shared().setBinding(ShortcutSettings::Binding::recorder);
}

ZARVEX_SHOT(update_dialog) {
    using namespace zarvex;
    UpdateChecker checker(QUrl(QStringLiteral("https://updates.invalid/feed.json")), "key",
                          BundleInfo::current());
    UpdateDialog dialog(checker);
    dialog.move(200, 120);
    shot.capture(dialog, "update-checking");
    UpdateCheckResult available;
    available.kind = UpdateCheckResult::Kind::available;
    available.item = UpdateItem{"0.2.0", "12",
                                "What's new\n\n• Record a region with the hotkey\n• Faster exports "
                                "at 1080p\n• The Rewind theme draws title bars",
                                "https://updates.invalid/zarvex-0.2.0"};
    dialog.showResult(available);
    shot.capture(dialog, "update-available");
    dialog.showResult({});
    shot.capture(dialog, "update-up-to-date");
    dialog.showResult({UpdateCheckResult::Kind::failed, std::nullopt,
                       QStringLiteral("No update in the feed carries a valid signature.")});
    shot.capture(dialog, "update-failed");
}
