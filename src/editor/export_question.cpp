#include "editor/export_question.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/chrome.h"

namespace zarvex {
namespace {

constexpr int kTextWidth = 370;
constexpr int kSymbolSize = 20;
constexpr int kTitleIndent = kSymbolSize + 10;  // the symbol and the space after it
constexpr int kSheetTop = 48;                   // under the editor's header, like the export sheet

QString titleFor(const QStringList& names) {
    if (names.size() == 1) {
        return QStringLiteral("“%1” is still exporting").arg(names.front());
    }
    return QStringLiteral("%1 recordings are still exporting").arg(names.size());
}

QString messageFor(ExportQuestion::Asked asked, qsizetype count) {
    if (asked == ExportQuestion::Asked::closingWindow) {
        return QStringLiteral(
            "Keep exporting and this window closes when the movie is ready, or cancel the "
            "export and close it now.");
    }
    if (count == 1) {
        return QStringLiteral(
            "Keep exporting and Zarvex quits when the movie is ready, or cancel the export "
            "and quit now.");
    }
    return QStringLiteral(
        "Keep exporting and Zarvex quits when the movies are ready, or cancel the exports "
        "and quit now.");
}

}  // namespace

ExportQuestion::ExportQuestion(Asked asked, const QStringList& names, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(titleFor(names));
    setWindowModality(asked == Asked::quitting ? Qt::ApplicationModal : Qt::WindowModal);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(10);
    column->setSizeConstraint(QLayout::SetFixedSize);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(kTitleIndent - kSymbolSize);
    heading->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), kSymbolSize),
                       0, Qt::AlignTop);
    title_ = roleLabel(titleFor(names), QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);
    title_->setWordWrap(true);
    title_->setFixedWidth(kTextWidth - kTitleIndent);
    heading->addWidget(title_, 1);
    column->addLayout(heading);
    message_ = roleLabel(messageFor(asked, names.size()), QStringLiteral("secondary"));
    message_->setWordWrap(true);
    message_->setFixedWidth(kTextWidth);
    message_->setContentsMargins(kTitleIndent, 0, 0, 0);  // under the title, past the symbol
    column->addWidget(message_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = new QPushButton(names.size() == 1 ? QStringLiteral("Cancel Export")
                                                : QStringLiteral("Cancel Exports"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { done(cancelExport); });
    keep_ = new QPushButton(QStringLiteral("Keep Exporting"));
    keep_->setProperty("prominent", true);
    keep_->setDefault(true);
    connect(keep_, &QPushButton::clicked, this, [this] { done(keepExporting); });
    buttons->addWidget(cancel_);
    buttons->addWidget(keep_);
    column->addSpacing(6);
    column->addLayout(buttons);
}

// Escape and the window manager's close keep the export: nothing is lost.
void ExportQuestion::reject() {
    done(keepExporting);
}

void ExportQuestion::showEvent(QShowEvent* event) {
    if (QWidget* over = parentWidget()) {
        adjustSize();
        const QRect frame = over->window()->geometry();
        move(frame.center().x() - width() / 2, frame.top() + kSheetTop);
    }
    QDialog::showEvent(event);
}

void ExportQuestion::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintPopupPanel(painter, *this);
}

}  // namespace zarvex
