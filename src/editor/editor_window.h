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
class ExportSheet;
class PresetStore;
class ProjectDocument;

// A window showing one open recording: "Loading recording…" until the
// document has loaded, "Something went wrong" with the message when loading
// failed, and the editor once loaded; the export sheet over it while the
// document asks for one. 1100 × 700 at first, no smaller than 860 × 480.
// Owns its document.
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

  signals:
    // The user closed the window (it is hidden, not yet destroyed).
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void showFace();
    void showExportSheet();

    std::unique_ptr<ProjectDocument> document_;
    Services services_;
    QStackedLayout* faces_;
    QLabel* loading_;
    QWidget* failed_;
    QLabel* errorTitle_;
    QLabel* errorMessage_;
    EditorView* editor_;
    QPointer<ExportSheet> sheet_;
};

}  // namespace zarvex
