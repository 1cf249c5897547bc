#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace zarvex {

class ProjectDocument;

// The top row of the editor: the recording's name (double-click to rename it
// in place), the button that shows the folder in the file manager and the
// Export button. The empty rest of the row drags the window; a double click
// on it maximises or restores the window.
class EditorHeader : public QWidget {
    Q_OBJECT
  public:
    using Reveal = std::function<void(const std::filesystem::path&)>;
    EditorHeader(ProjectDocument& document, Reveal reveal, QWidget* parent = nullptr);

    bool isEditingName() const;
    // Shows the name field with the current name, focused and selected.
    void beginEditingName();
    // Leaves editing and renames the recording to the field's text.
    void submitName();
    // Leaves editing without renaming.
    void cancelEditingName();

    QLabel* nameLabel() const { return nameLabel_; }
    QLineEdit* nameField() const { return nameField_; }
    QToolButton* revealButton() const { return revealButton_; }
    QPushButton* exportButton() const { return exportButton_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void showName();

    ProjectDocument& document_;
    Reveal reveal_;
    QStackedWidget* nameStack_;
    QLabel* nameLabel_;
    QLineEdit* nameField_;
    QToolButton* revealButton_;
    QPushButton* exportButton_;
    bool editing_ = false;
    bool pressed_ = false;
    QPoint pressPoint_;
};

}  // namespace zarvex
