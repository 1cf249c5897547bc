#include "editor/editor_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/editor_view.h"
#include "editor/export_question.h"
#include "editor/export_sheet.h"
#include "render/project_document.h"

namespace zarvex {
namespace {

constexpr QSize kInitialSize(1100, 700);
constexpr QSize kMinimumSize(860, 480);

}  // namespace

EditorWindow::EditorWindow(std::unique_ptr<ProjectDocument> document, Services services,
                           QWidget* parent)
    : WindowBackdrop(parent), document_(std::move(document)), services_(std::move(services)) {
    setWindowTitle(QString::fromStdString(document_->bundleURL().filename().string()));
    setMinimumSize(kMinimumSize);
    resize(kInitialSize);
    faces_ = new QStackedLayout(this);

    loading_ = roleLabel(QStringLiteral("Loading recording…"), QStringLiteral("secondary"));
    loading_->setAlignment(Qt::AlignCenter);
    faces_->addWidget(loading_);

    failed_ = new QWidget;
    auto* failedColumn = new QVBoxLayout(failed_);
    failedColumn->setSpacing(8);
    failedColumn->addStretch(1);
    failedColumn->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 36), 0,
                            Qt::AlignHCenter);
    errorTitle_ = roleLabel(QStringLiteral("Something went wrong"), QStringLiteral("title"));
    errorTitle_->setAlignment(Qt::AlignCenter);
    failedColumn->addWidget(errorTitle_);
    errorMessage_ = roleLabel(QString(), QStringLiteral("secondary"));
    errorMessage_->setAlignment(Qt::AlignCenter);
    errorMessage_->setWordWrap(true);
    errorMessage_->setTextFormat(Qt::PlainText);
    errorMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    errorMessage_->setFixedWidth(560);
    failedColumn->addWidget(errorMessage_, 0, Qt::AlignHCenter);
    failedColumn->addStretch(1);
    faces_->addWidget(failed_);

    editor_ = new EditorView(*document_, services_.presets, services_.reveal);
    faces_->addWidget(editor_);

    connect(document_.get(), &ProjectDocument::isLoadedChanged, this, &EditorWindow::showFace);
    connect(document_.get(), &ProjectDocument::errorMessageChanged, this, &EditorWindow::showFace);
    connect(document_.get(), &ProjectDocument::exportRequestedChanged, this,
            &EditorWindow::showExportSheet);
    connect(document_.get(), &ProjectDocument::exportEnded, this,
            [this](ProjectDocument::ExportOutcome outcome) {
                exportEnded(outcome == ProjectDocument::ExportOutcome::failed);
            });
    connect(document_.get(), &ProjectDocument::revealInFileViewer, this,
            [this](const std::filesystem::path& file) {
                if (services_.reveal) {
                    services_.reveal(file);
                }
            });
    // The desktop's usual close key (the window manager's close works too).
    auto* closeKey = new QShortcut(QKeySequence::Close, this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    showFace();
}

EditorWindow::~EditorWindow() {
    // The views hold on to the document and its player: they go first.
    delete sheet_;
    delete editor_;
}

ExportSheet* EditorWindow::exportSheet() const {
    return sheet_;
}

ExportQuestion* EditorWindow::exportQuestion() const {
    return question_;
}

EditorWindow::Face EditorWindow::face() const {
    if (faces_->currentWidget() == editor_) {
        return Face::editor;
    }
    return faces_->currentWidget() == failed_ ? Face::failed : Face::loading;
}

void EditorWindow::showFace() {
    if (document_->isLoaded()) {
        faces_->setCurrentWidget(editor_);
        return;
    }
    const std::optional<std::string>& message = document_->errorMessage();
    if (message) {
        errorMessage_->setText(breakablePath(QString::fromStdString(*message)));
        faces_->setCurrentWidget(failed_);
    } else {
        faces_->setCurrentWidget(loading_);
    }
}

void EditorWindow::showExportSheet() {
    if (!document_->exportRequested()) {
        if (sheet_ && sheet_->isVisible()) {
            sheet_->close();
        }
        return;
    }
    if (sheet_) {
        sheet_->raise();
        return;
    }
    // A new sheet each time, with the default options.
    auto* sheet = new ExportSheet(*document_, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] { document_->setExportRequested(false); });
    sheet_ = sheet;
    sheet->open();
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (document_->exportProgress()) {
        // Never thrown away without a word: asked, or closed once it ends.
        event->ignore();
        if (closeAfterExport_ == CloseAfterExport::no) {
            askAboutExport();
        }
        return;
    }
    event->accept();
    emit closed();
}

void EditorWindow::askAboutExport() {
    if (question_) {
        question_->raise();
        return;
    }
    const QString name = QString::fromStdString(document_->bundleURL().filename().string());
    auto* question = new ExportQuestion(ExportQuestion::Asked::closingWindow, {name}, this);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QDialog::finished, this, [this](int answer) {
        if (answer == ExportQuestion::cancelExport) {
            document_->cancelExport();
        }
        closeAfterExport_ = CloseAfterExport::unlessFailed;
        if (!document_->exportProgress()) {
            close();  // it ended while the question was open
        }
    });
    question_ = question;
    question->open();
}

void EditorWindow::closeForQuit(bool cancelExport) {
    delete question_;
    if (!document_->exportProgress()) {
        close();
        return;
    }
    if (cancelExport) {
        document_->cancelExport();
    }
    closeAfterExport_ = CloseAfterExport::always;
}

void EditorWindow::exportEnded(bool failed) {
    if (closeAfterExport_ == CloseAfterExport::no) {
        return;
    }
    if (failed && closeAfterExport_ == CloseAfterExport::unlessFailed) {
        closeAfterExport_ = CloseAfterExport::no;  // the banner says why; the window stays
        return;
    }
    closeAfterExport_ = CloseAfterExport::no;
    // Once the export's own reactions (the sheet closing) have run.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

}  // namespace zarvex
