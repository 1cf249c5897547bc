#include "editor/presets_menu.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/style_rules.h"
#include "model/preset_store.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr int kNameFieldWidth = 180;

}  // namespace

SavePresetPopover::SavePresetPopover(ProjectDocument& document, PresetStore& presets,
                                     QWidget* parent)
    : QWidget(parent, Qt::Popup), document_(document), presets_(presets) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 12, 14, 12);
    column->setSpacing(8);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    nameField_ = new QLineEdit;
    nameField_->setPlaceholderText(QStringLiteral("Preset name"));
    nameField_->setFixedWidth(kNameFieldWidth);
    saveButton_ = new QPushButton(QStringLiteral("Save"));
    saveButton_->setProperty("prominent", true);
    saveButton_->setDefault(true);
    row->addWidget(nameField_);
    row->addWidget(saveButton_);
    column->addLayout(row);
    auto* note = roleLabel(QStringLiteral("Name it “Default” to apply to all new recordings."),
                           QStringLiteral("caption"));
    column->addWidget(note);
    connect(nameField_, &QLineEdit::returnPressed, this, &SavePresetPopover::save);
    connect(saveButton_, &QPushButton::clicked, this, &SavePresetPopover::save);
}

void SavePresetPopover::popUp(QWidget* anchor) {
    nameField_->clear();
    adjustSize();
    QPoint at = anchor->mapToGlobal(QPoint(anchor->width() - width(), anchor->height() + 4));
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), area.right() - width()));
        at.setY(qBound(area.top(), at.y(), area.bottom() - height()));
    }
    move(at);
    show();
    nameField_->setFocus(Qt::PopupFocusReason);
}

void SavePresetPopover::save() {
    const std::optional<std::string> name = presetNameToSave(nameField_->text().toStdString());
    if (!name) {
        return;
    }
    presets_.save(*name, document_.style());
    close();
}

void SavePresetPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintPopupPanel(painter, *this);
}

PresetsMenuButton::PresetsMenuButton(ProjectDocument& document, PresetStore& presets,
                                     QWidget* parent)
    : QToolButton(parent),
      document_(document),
      presets_(presets),
      menu_(new QMenu(this)),
      popover_(new SavePresetPopover(document, presets, this)) {
    setText(QStringLiteral("Manage"));
    setIcon(symbolIcon(QStringLiteral("square.stack.3d.up")));
    setIconSize(QSize(15, 15));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    setMenu(menu_);
    // Queued: the change may come from one of this menu's own actions, which
    // must not be deleted while it runs.
    connect(&presets_, &PresetStore::presetsChanged, this, &PresetsMenuButton::rebuild,
            Qt::QueuedConnection);
    rebuild();
}

void PresetsMenuButton::openSavePopover() {
    popover_->popUp(this);
}

void PresetsMenuButton::rebuild() {
    menu_->clear();
    for (const StylePreset& preset : presets_.presets()) {
        const StyleSettings style = preset.style;
        menu_->addAction(QString::fromStdString(preset.name), this,
                         [this, style] { document_.setStyle(style); });
    }
    if (!presets_.presets().empty()) {
        menu_->addSeparator();
    }
    menu_->addAction(QStringLiteral("Save Current As…"), this, &PresetsMenuButton::openSavePopover);
    QMenu* remove = menu_->addMenu(QStringLiteral("Delete"));
    for (const StylePreset& preset : presets_.presets()) {
        const std::string name = preset.name;
        QAction* action =
            remove->addAction(symbolIcon(QStringLiteral("trash")), QString::fromStdString(name),
                              this, [this, name] { presets_.deletePreset(name); });
        action->setToolTip(QStringLiteral("Delete this preset"));
    }
    remove->setEnabled(!presets_.presets().empty());
}

}  // namespace zarvex
