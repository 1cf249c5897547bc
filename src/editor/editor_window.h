#pragma once

#include <QPointer>

#include <functional>
#include <memory>

#include "editor/editor_header.h"
#include "ui/window_backdrop.h"

class QLabel;
class QStackedLayout;

namespace zarvex {

class EditorView;
class ExportQuestion;
class ExportSheet;
class PresetStore;
class ProjectDocument;

// A window showing one open recording: "Loading recording…" until the
// document has loaded, "Something went wrong" with the message when loading
// failed, and the editor once loaded; the export sheet over it while the
// document asks for one. 1100 × 700 at first, no smaller than 860 × 480.
// Closing it while the document exports asks first: keep exporting (the
// window closes once the export has ended, unless it failed: then its
// message shows) or cancel the export and close. Owns its document.
class EditorWindow : public WindowBackdrop {
    Q_OBJECT
  public:
    struct Services {
        PresetStore& presets;
        // Shows a file or folder in the file manager.
        EditorHeader::Reveal reveal;
    };
    EditorWindow(std::unique_ptr<ProjectDocument> document, Services services,
                 QWidget* parent = nullptr);
    ~EditorWindow() override;

    ProjectDocument& document() { return *document_; }

    EditorView* editorView() const { return editor_; }
    QLabel* loadingLabel() const { return loading_; }
    QLabel* errorTitle() const { return errorTitle_; }
    QLabel* errorMessage() const { return errorMessage_; }
    ExportSheet* exportSheet() const;
    // Which face is shown: the loading text, the error or the editor.
    enum class Face { loading, failed, editor };
    Face face() const;

    // The question asked on closing while exporting, while it is open.
    ExportQuestion* exportQuestion() const;
    // Closes the window for quitting, without asking: a running export is
    // cancelled or, when kept, the window closes once it has ended either way.
    void closeForQuit(bool cancelExport);

  signals:
    // The user closed the window (it is hidden, not yet destroyed).
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // When the window closes by itself after an export.
    enum class CloseAfterExport { no, unlessFailed, always };

    void showFace();
    void showExportSheet();
    void askAboutExport();
    void exportEnded(bool failed);

    std::unique_ptr<ProjectDocument> document_;
    Services services_;
    QStackedLayout* faces_;
    QLabel* loading_;
    QWidget* failed_;
    QLabel* errorTitle_;
    QLabel* errorMessage_;
    EditorView* editor_;
    QPointer<ExportSheet> sheet_;
    QPointer<ExportQuestion> question_;
    CloseAfterExport closeAfterExport_ = CloseAfterExport::no;
};

}  // namespace zarvex
