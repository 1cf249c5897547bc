#include "app/update_dialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/symbols.h"

namespace zarvex {
namespace {

QString runningVersion(const BundleInfo& info) {
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(info.shortVersion.value_or("?")),
                                         QString::fromStdString(info.version.value_or("?")));
}

}  // namespace

UpdateDialog::UpdateDialog(UpdateChecker& checker, QWidget* parent)
    : QDialog(parent),
      checker_(checker),
      running_(checker.running()),
      icon_(new QLabel),
      headline_(new QLabel),
      detail_(new QLabel),
      busy_(new QProgressBar),
      notes_(new QPlainTextEdit),
      download_(new QPushButton(QStringLiteral("Download…"))),
      close_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(QStringLiteral("Software Update"));
    setFixedWidth(420);
    headline_->setProperty("role", QStringLiteral("title"));
    // Versions and reasons come from the server: never read as markup.
    headline_->setTextFormat(Qt::PlainText);
    detail_->setTextFormat(Qt::PlainText);
    detail_->setWordWrap(true);
    detail_->setProperty("role", QStringLiteral("secondary"));
    icon_->setPixmap(
        symbolIcon(QStringLiteral("arrow.down.circle")).pixmap(QSize(40, 40), devicePixelRatioF()));
    icon_->setAlignment(Qt::AlignTop);
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setFixedHeight(6);
    notes_->setReadOnly(true);
    notes_->setMinimumHeight(140);
    download_->setProperty("prominent", true);
    download_->setDefault(true);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(headline_);
    text->addWidget(detail_);
    text->addWidget(busy_);
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon_);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close_);
    buttons->addWidget(download_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);
    layout->addLayout(top);
    layout->addWidget(notes_);
    layout->addLayout(buttons);

    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(download_, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl(downloadUrl_));
        accept();
    });
    connect(&checker, &UpdateChecker::checkStarted, this, &UpdateDialog::showChecking);
    connect(&checker, &UpdateChecker::checkFinished, this, &UpdateDialog::showResult);
    showChecking();
}

QString UpdateDialog::headline() const {
    return headline_->text();
}

QString UpdateDialog::detail() const {
    return detail_->text();
}

QString UpdateDialog::notes() const {
    return notes_->isHidden() ? QString() : notes_->toPlainText();
}

void UpdateDialog::done(int result) {
    checker_.cancel();  // nothing when no check runs
    QDialog::done(result);
}

void UpdateDialog::showChecking() {
    headline_->setText(QStringLiteral("Checking for Updates…"));
    detail_->setText(QStringLiteral("Zarvex %1").arg(runningVersion(running_)));
    busy_->show();
    notes_->hide();
    download_->hide();
    close_->setText(QStringLiteral("Cancel"));
    adjustSize();
}

void UpdateDialog::showResult(const UpdateCheckResult& result) {
    busy_->hide();
    close_->setText(QStringLiteral("OK"));
    switch (result.kind) {
        case UpdateCheckResult::Kind::upToDate:
            headline_->setText(QStringLiteral("You're up to date."));
            detail_->setText(
                QStringLiteral("Zarvex %1 is the newest version.").arg(runningVersion(running_)));
            notes_->hide();
            download_->hide();
            break;
        case UpdateCheckResult::Kind::available: {
            const UpdateItem& item = *result.item;
            headline_->setText(
                QStringLiteral("Zarvex %1 is available").arg(QString::fromStdString(item.version)));
            detail_->setText(QStringLiteral("You have %1. Download the new version to update.")
                                 .arg(runningVersion(running_)));
            notes_->setPlainText(QString::fromStdString(item.notes));
            notes_->show();
            downloadUrl_ = QString::fromStdString(item.url);
            download_->show();
            close_->setText(QStringLiteral("Later"));
            break;
        }
        case UpdateCheckResult::Kind::failed:
            headline_->setText(QStringLiteral("Couldn't check for updates."));
            detail_->setText(result.message);
            notes_->hide();
            download_->hide();
            break;
    }
    adjustSize();
}

}  // namespace zarvex
