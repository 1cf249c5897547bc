#include "editor/export_sheet.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "model/user_dirs.h"
#include "render/export_naming.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/segmented_control.h"

namespace zarvex {
namespace {

constexpr int kProgressWidth = 260;
constexpr int kProgressSteps = 1000;
constexpr int kSheetTop = 48;  // under the editor's header

template <typename E>
QStringList labelsOf() {
    QStringList labels;
    for (E value : allCases<E>()) {
        labels << QString::fromUtf8(rawValue(value).data(), int(rawValue(value).size()));
    }
    return labels;
}

QWidget* pickerRow(const QString& text, SegmentedControl* picker) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    auto* name = new QLabel(text);
    name->setFixedWidth(76);
    name->setBuddy(picker);
    layout->addWidget(name);
    layout->addWidget(picker, 1);
    return row;
}

QString progressStyle(const Theme& theme) {
    const QColor groove = trackGrooveColor(theme);
    const QColor fill = trackFillColor(theme);
    const QString border = theme.panelColor ? QStringLiteral("%1px solid %2")
                                                  .arg(qRound(theme.outlineWidth))
                                                  .arg(themeOutline(theme).name())
                                            : QStringLiteral("none");
    return QStringLiteral(
               "QProgressBar { background: %1; border: %3; border-radius: 4px; height: 8px; }"
               "QProgressBar::chunk { background: %2; border-radius: 3px; }")
        .arg(groove.name(QColor::HexArgb), fill.name(QColor::HexArgb), border);
}

}  // namespace

ExportSheet::ExportSheet(ProjectDocument& document, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), document_(document) {
    setWindowTitle(QStringLiteral("Export Video"));
    setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(16);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addWidget(roleLabel(QStringLiteral("Export Video"), QStringLiteral("title")));

    auto* choose = new QWidget;
    auto* chooseColumn = new QVBoxLayout(choose);
    chooseColumn->setContentsMargins(0, 0, 0, 0);
    chooseColumn->setSpacing(12);
    codec_ = new SegmentedControl(labelsOf<ExportOptions::Codec>());
    codec_->setAccessibleName(QStringLiteral("Codec"));
    codec_->setCurrentIndex(int(options_.codec));
    connect(codec_, &SegmentedControl::activated, this, [this](int index) {
        options_.codec = allCases<ExportOptions::Codec>()[std::size_t(index)];
    });
    resolution_ = new SegmentedControl(labelsOf<ExportOptions::Resolution>());
    resolution_->setAccessibleName(QStringLiteral("Resolution"));
    resolution_->setCurrentIndex(int(options_.resolution));
    connect(resolution_, &SegmentedControl::activated, this, [this](int index) {
        options_.resolution = allCases<ExportOptions::Resolution>()[std::size_t(index)];
    });
    chooseColumn->addWidget(pickerRow(QStringLiteral("Codec"), codec_));
    chooseColumn->addWidget(pickerRow(QStringLiteral("Resolution"), resolution_));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"));
    connect(cancelButton_, &QPushButton::clicked, this, &ExportSheet::reject);
    exportButton_ = new QPushButton(QStringLiteral("Export…"));
    exportButton_->setProperty("prominent", true);
    exportButton_->setDefault(true);
    connect(exportButton_, &QPushButton::clicked, this, &ExportSheet::chooseDestination);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(exportButton_);
    chooseColumn->addSpacing(4);
    chooseColumn->addLayout(buttons);

    auto* running = new QWidget;
    auto* runningColumn = new QVBoxLayout(running);
    runningColumn->setContentsMargins(0, 0, 0, 0);
    runningColumn->setSpacing(12);
    runningColumn->addWidget(new QLabel(QStringLiteral("Exporting…")));
    progress_ = new QProgressBar;
    progress_->setRange(0, kProgressSteps);
    progress_->setTextVisible(false);
    progress_->setFixedSize(kProgressWidth, 8);
    progress_->setAccessibleName(QStringLiteral("Export progress"));
    progress_->setStyleSheet(progressStyle(ApplicationTheme::current()));
    runningColumn->addWidget(progress_);
    auto* cancelRow = new QHBoxLayout;
    cancelRow->addStretch(1);
    cancelExport_ = new QPushButton(QStringLiteral("Cancel"));
    connect(cancelExport_, &QPushButton::clicked, this, [this] { document_.cancelExport(); });
    cancelRow->addWidget(cancelExport_);
    runningColumn->addLayout(cancelRow);

    faces_ = new QStackedWidget;
    faces_->addWidget(choose);
    faces_->addWidget(running);
    column->addWidget(faces_);
    setMinimumWidth(360);

    connect(&document_, &ProjectDocument::exportProgressChanged, this, &ExportSheet::showProgress);
    showProgress();
}

bool ExportSheet::showsProgress() const {
    return faces_->currentIndex() == 1;
}

void ExportSheet::showProgress() {
    const std::optional<double> progress = document_.exportProgress();
    faces_->setCurrentIndex(progress ? 1 : 0);
    if (progress) {
        progress_->setValue(qRound(std::clamp(*progress, 0.0, 1.0) * kProgressSteps));
    }
}

QString ExportSheet::moviesFolder() {
    // Created when missing, so the dialog opens there rather than elsewhere.
    const std::filesystem::path folder = moviesDirectory();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return QString::fromStdString(folder.string());
}

QString ExportSheet::proposedFileName() const {
    return QString::fromStdString(
        proposedExportFileName(storedExportPattern(), document_.bundleURL().filename().string()));
}

void ExportSheet::chooseDestination() {
    if (destination_) {
        destination_->raise();
        return;
    }
    auto* dialog = new QFileDialog(this, QStringLiteral("Export Video"), moviesFolder(),
                                   QStringLiteral("MPEG-4 Movie (*.mp4)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(QStringLiteral("mp4"));
    dialog->selectFile(proposedFileName());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (!file.isEmpty()) {
            exportTo(file.toStdString());
        }
    });
    destination_ = dialog;
    dialog->open();
}

void ExportSheet::exportTo(const std::filesystem::path& file) {
    QPointer<ExportSheet> self(this);
    document_.exportTo(file, options_, [self] {
        if (self) {
            self->accept();
        }
    });
}

void ExportSheet::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        progress_->setStyleSheet(progressStyle(ApplicationTheme::current()));
    }
    QDialog::changeEvent(event);
}

void ExportSheet::showEvent(QShowEvent* event) {
    // Like a sheet: centred over the window, just under its top edge.
    if (QWidget* over = parentWidget()) {
        adjustSize();
        const QRect frame = over->window()->geometry();
        move(frame.center().x() - width() / 2, frame.top() + kSheetTop);
    }
    QDialog::showEvent(event);
}

void ExportSheet::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintPopupPanel(painter, *this);
}

void ExportSheet::reject() {
    if (document_.exportProgress()) {
        document_.cancelExport();
        return;  // the sheet closes when the export has ended
    }
    QDialog::reject();
}

}  // namespace zarvex
