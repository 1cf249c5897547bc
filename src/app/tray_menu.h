#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <filesystem>
#include <vector>

#include "app/menu_content.h"

namespace zarvex {

// The tray image: the "MenuBarIcon" symbol in near-white over a soft dark
// edge, so it reads on dark and light panels alike (a tray cannot tell which
// it sits on), and "MenuBarIconRecording" in red while recording.
QIcon trayIcon(bool recording);

// The tray icon and its menu. It shows what it is given (menuEntries(),
// recentEntries()) and reports what the user picks; entries are relabelled
// in place as the state changes (some tray hosts never announce that the
// menu opens, so nothing waits for that). Main thread only.
class TrayMenu : public QObject {
    Q_OBJECT
  public:
    explicit TrayMenu(QObject* parent = nullptr);
    ~TrayMenu() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    void show();

    void setEntries(const std::vector<MenuEntry>& entries);
    void setRecentEntries(const std::vector<MenuEntry>& entries);

    // A short note from the tray icon (where the desktop shows such notes).
    void showMessage(const QString& title, const QString& text);

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }
    QMenu& recentMenu() { return recent_; }
    // The action of an item; null when the menu has none now.
    QAction* action(MenuItem item) const;

  signals:
    void triggered(zarvex::MenuItem item);
    void recentChosen(const std::filesystem::path& folder);
    // The menu's actions were replaced (its items changed, not only their texts).
    void rebuilt();

  private:
    void fill(QMenu& menu, std::vector<QAction*>& actions, const std::vector<MenuEntry>& entries);
    void apply(QAction* action, const MenuEntry& entry);

    QSystemTrayIcon icon_;
    QMenu menu_;
    QMenu recent_;
    std::vector<MenuEntry> entries_;
    std::vector<QAction*> actions_;
    std::vector<MenuEntry> recentEntries_;
    std::vector<QAction*> recentActions_;
};

}  // namespace zarvex
