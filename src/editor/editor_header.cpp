#include "editor/editor_header.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QWindow>

#include "editor/chrome.h"
#include "render/project_document.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr int kNameFieldWidth = 260;

}  // namespace

EditorHeader::EditorHeader(ProjectDocument& document, Reveal reveal, QWidget* parent)
    : QWidget(parent), document_(document), reveal_(std::move(reveal)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 12, 16, 0);
    row->setSpacing(8);

    nameLabel_ = roleLabel(QString(), QStringLiteral("title"));
    nameLabel_->setToolTip(QStringLiteral("Double-click to rename"));
    nameLabel_->setTextFormat(Qt::PlainText);
    nameLabel_->installEventFilter(this);
    nameField_ = new QLineEdit;
    nameField_->setPlaceholderText(QStringLiteral("Name"));
    nameField_->setFixedWidth(kNameFieldWidth);
    nameField_->installEventFilter(this);
    connect(nameField_, &QLineEdit::returnPressed, this, &EditorHeader::submitName);
    nameStack_ = new QStackedWidget;
    nameStack_->addWidget(nameLabel_);
    nameStack_->addWidget(nameField_);
    nameStack_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    row->addWidget(nameStack_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    revealButton_ = symbolButton(QStringLiteral("folder"), QStringLiteral("Show in File Manager"));
    revealButton_->setProperty("bordered", true);
    connect(revealButton_, &QToolButton::clicked, this, [this] {
        if (reveal_) {
            reveal_(document_.bundleURL());
        }
    });
    row->addWidget(revealButton_);
    exportButton_ = new QPushButton(symbolIcon(QStringLiteral("square.and.arrow.up")),
                                    QStringLiteral("Export"));
    exportButton_->setProperty("prominent", true);
    exportButton_->setToolTip(QStringLiteral("Export video"));
    exportButton_->setCursor(Qt::PointingHandCursor);
    connect(exportButton_, &QPushButton::clicked, this,
            [this] { document_.setExportRequested(true); });
    row->addWidget(exportButton_);

    connect(&document_, &ProjectDocument::bundleURLChanged, this, &EditorHeader::showName);
    showName();
}

void EditorHeader::showName() {
    nameLabel_->setText(QString::fromStdString(document_.bundleURL().filename().string()));
}

bool EditorHeader::isEditingName() const {
    return editing_;
}

void EditorHeader::beginEditingName() {
    editing_ = true;
    nameField_->setText(nameLabel_->text());
    nameStack_->setCurrentWidget(nameField_);
    nameField_->setFocus(Qt::OtherFocusReason);
    nameField_->selectAll();
}

void EditorHeader::submitName() {
    if (!isEditingName()) {
        return;
    }
    const std::string draft = nameField_->text().toStdString();
    cancelEditingName();
    document_.rename(draft);
}

void EditorHeader::cancelEditingName() {
    // Hiding the field moves the focus away from it, which must not count as
    // submitting: editing ends first.
    editing_ = false;
    nameStack_->setCurrentWidget(nameLabel_);
}

bool EditorHeader::eventFilter(QObject* watched, QEvent* event) {
    if (watched == nameLabel_ && event->type() == QEvent::MouseButtonDblClick) {
        beginEditingName();
        return true;
    }
    if (watched == nameField_) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancelEditingName();
            return true;
        }
        // Clicking elsewhere ends editing like Return does.
        if (event->type() == QEvent::FocusOut && isEditingName()) {
            submitName();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EditorHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        pressPoint_ = event->position().toPoint();
    }
    QWidget::mousePressEvent(event);
}

void EditorHeader::mouseMoveEvent(QMouseEvent* event) {
    // The window moves once the pointer has really moved, so a double click
    // still reaches the row.
    if (pressed_ && (event->position().toPoint() - pressPoint_).manhattanLength() >=
                        QApplication::startDragDistance()) {
        pressed_ = false;
        if (QWindow* handle = window()->windowHandle()) {
            handle->startSystemMove();
        }
    }
}

void EditorHeader::mouseReleaseEvent(QMouseEvent* event) {
    pressed_ = false;
    QWidget::mouseReleaseEvent(event);
}

void EditorHeader::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QWidget* top = window();
    if (top->isMaximized()) {
        top->showNormal();
    } else {
        top->showMaximized();
    }
}

}  // namespace zarvex
