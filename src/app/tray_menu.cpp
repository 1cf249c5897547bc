#include "app/tray_menu.h"

#include <QPainter>

#include "ui/symbols.h"

namespace zarvex {
namespace {

bool sameItems(const std::vector<MenuEntry>& a, const std::vector<MenuEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const MenuEntry& x, const MenuEntry& y) {
                          return x.item == y.item && x.folder == y.folder;
                      });
}

}  // namespace

QIcon trayIcon(bool recording) {
    const QString name =
        recording ? QStringLiteral("MenuBarIconRecording") : QStringLiteral("MenuBarIcon");
    const QColor ink = recording ? QColor(255, 69, 58) : QColor(245, 245, 245);
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48}) {
        const QSize size(side, side);
        const QImage edge = symbolImage(name, size, QColor(0, 0, 0, 110));
        const QImage face = symbolImage(name, size, ink);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        for (const QPoint offset : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
            painter.drawImage(offset, edge);
        }
        painter.drawImage(0, 0, face);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

TrayMenu::TrayMenu(QObject* parent) : QObject(parent) {
    recent_.setTitle(QStringLiteral("Open Recent"));
    icon_.setContextMenu(&menu_);
    // A left click opens the menu too, as a menu-bar item does.
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) {
                    menu_.popup(QCursor::pos());
                }
            });
}

TrayMenu::~TrayMenu() {
    icon_.setContextMenu(nullptr);
}

void TrayMenu::setIcon(const QIcon& icon) {
    icon_.setIcon(icon);
}

void TrayMenu::setToolTip(const QString& text) {
    icon_.setToolTip(text);
}

void TrayMenu::show() {
    icon_.show();
}

void TrayMenu::showMessage(const QString& title, const QString& text) {
    icon_.showMessage(title, text, QSystemTrayIcon::Information);
}

QAction* TrayMenu::action(MenuItem item) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].item == item) {
            return actions_[i];
        }
    }
    for (std::size_t i = 0; i < recentEntries_.size(); ++i) {
        if (recentEntries_[i].item == item) {
            return recentActions_[i];
        }
    }
    return nullptr;
}

void TrayMenu::apply(QAction* action, const MenuEntry& entry) {
    // Menus read "&" as a mnemonic marker: recording names keep theirs.
    action->setText(QString::fromStdString(entry.title).replace('&', QStringLiteral("&&")));
    action->setEnabled(entry.enabled);
    action->setShortcut(QKeySequence(QString::fromStdString(entry.shortcut)));
}

void TrayMenu::fill(QMenu& menu, std::vector<QAction*>& actions,
                    const std::vector<MenuEntry>& entries) {
    menu.clear();
    actions.clear();
    for (const MenuEntry& entry : entries) {
        QAction* action = nullptr;
        if (entry.item == MenuItem::separator) {
            action = menu.addSeparator();
        } else if (entry.item == MenuItem::openRecent) {
            action = menu.addMenu(&recent_);
        } else {
            action = menu.addAction(QString());
            const MenuItem item = entry.item;
            const std::filesystem::path folder = entry.folder;
            connect(action, &QAction::triggered, this, [this, item, folder] {
                if (item == MenuItem::recent) {
                    emit recentChosen(folder);
                } else {
                    emit triggered(item);
                }
            });
        }
        actions.push_back(action);
    }
}

void TrayMenu::setEntries(const std::vector<MenuEntry>& entries) {
    const bool changed = !sameItems(entries, entries_);
    if (changed) {
        fill(menu_, actions_, entries);
    }
    entries_ = entries;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].item != MenuItem::separator && entries_[i].item != MenuItem::openRecent) {
            apply(actions_[i], entries_[i]);
        }
    }
    if (changed) {
        emit rebuilt();
    }
}

void TrayMenu::setRecentEntries(const std::vector<MenuEntry>& entries) {
    if (!sameItems(entries, recentEntries_)) {
        fill(recent_, recentActions_, entries);
    }
    recentEntries_ = entries;
    for (std::size_t i = 0; i < recentEntries_.size(); ++i) {
        apply(recentActions_[i], recentEntries_[i]);
    }
}

}  // namespace zarvex
