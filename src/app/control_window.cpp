#include "app/control_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/form_group.h"
#include "app/tray_menu.h"

namespace zarvex {
namespace {

constexpr int kWindowWidth = 300;

QToolButton* itemButton(QAction* action) {
    auto* button = new QToolButton;
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (action->menu() != nullptr) {
        // The style's own arrow sits in the corner, away from the centred
        // label: the label carries it instead.
        button->setPopupMode(QToolButton::InstantPopup);
        button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
        button->setText(action->text() + QStringLiteral("  \u25BE"));
    }
    return button;
}

}  // namespace

ControlWindow::ControlWindow(TrayMenu& tray, QWidget* parent)
    : WindowBackdrop(parent), tray_(tray) {
    setWindowTitle(QStringLiteral("Zarvex"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* content = new QWidget;
    content->setFixedWidth(kWindowWidth);
    groups_ = new QVBoxLayout(content);
    groups_->setContentsMargins(0, 0, 0, 0);
    groups_->setSpacing(12);
    layout->addWidget(content);
    connect(&tray_, &TrayMenu::rebuilt, this, &ControlWindow::rebuild);
    rebuild();
}

void ControlWindow::present() {
    show();
    raise();
    activateWindow();
}

void ControlWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

void ControlWindow::rebuild() {
    while (QLayoutItem* item = groups_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    FormGroup* group = nullptr;
    for (QAction* action : tray_.menu().actions()) {
        if (action->isSeparator()) {
            group = nullptr;
            continue;
        }
        if (group == nullptr) {
            group = new FormGroup;
            groups_->addWidget(group);
        }
        QToolButton* button = itemButton(action);
        if (action == tray_.action(MenuItem::primary)) {
            QFont bold = button->font();
            bold.setWeight(QFont::DemiBold);
            button->setFont(bold);
        }
        group->addRowWidget(button);
    }
}

}  // namespace zarvex
