#pragma once

#include <QWidget>

#include "editor/editor_header.h"

class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QToolButton;

namespace zarvex {

class InspectorView;
class PlayerView;
class PresetStore;
class ProjectDocument;
class TransportBar;
class ZoomEditor;

// A message bar under the header for what went wrong while the recording is
// open (a rename, a save or an export): the document's error message with a
// button that dismisses it.
class ErrorBanner : public QWidget {
    Q_OBJECT
  public:
    explicit ErrorBanner(ProjectDocument& document, QWidget* parent = nullptr);
    QLabel* message() const { return message_; }
    QToolButton* dismissButton() const { return dismiss_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void showMessage();

    ProjectDocument& document_;
    QLabel* message_;
    QToolButton* dismiss_;
};

// The loaded editor: the header on top; under it the preview with the
// transport on the left and the inspector column on the right.
class EditorView : public QWidget {
    Q_OBJECT
  public:
    EditorView(ProjectDocument& document, PresetStore& presets, EditorHeader::Reveal reveal,
               QWidget* parent = nullptr);

    EditorHeader* header() const { return header_; }
    ErrorBanner* errorBanner() const { return banner_; }
    PlayerView* playerView() const { return player_; }
    TransportBar* transport() const { return transport_; }
    InspectorView* inspector() const { return inspector_; }
    ZoomEditor* zoomEditor() const { return zoom_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void applyThemeSpacing();

    QHBoxLayout* body_;
    QVBoxLayout* stage_;
    EditorHeader* header_;
    ErrorBanner* banner_;
    PlayerView* player_;
    TransportBar* transport_;
    InspectorView* inspector_;
    ZoomEditor* zoom_;
};

}  // namespace zarvex
