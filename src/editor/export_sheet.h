#pragma once

#include <QDialog>
#include <QPointer>

#include <filesystem>

#include "render/export_session.h"

#include <QFileDialog>
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace zarvex {

class ProjectDocument;
class SegmentedControl;

// The export sheet over the editor window: "Export Video" with the codec and
// resolution pickers, "Cancel" and "Export…" (which asks where to save the
// movie, named by the export pattern in the Movies folder, and starts the
// export); while the export runs it shows "Exporting…", the progress and a
// Cancel that stops the export. It closes when the export has ended.
class ExportSheet : public QDialog {
    Q_OBJECT
  public:
    ExportSheet(ProjectDocument& document, QWidget* parent);

    const ExportOptions& options() const { return options_; }
    // Asks for the destination, then exports there.
    void chooseDestination();
    // Starts the export to `file` with the options shown.
    void exportTo(const std::filesystem::path& file);

    // The proposed file name and folder of the destination dialog.
    QString proposedFileName() const;
    static QString moviesFolder();

    SegmentedControl* codecPicker() const { return codec_; }
    SegmentedControl* resolutionPicker() const { return resolution_; }
    QPushButton* exportButton() const { return exportButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* cancelExportButton() const { return cancelExport_; }
    QProgressBar* progressBar() const { return progress_; }
    bool showsProgress() const;
    // The destination dialog while it is open.
    QFileDialog* destinationDialog() const { return destination_; }

  public slots:
    // Escape and closing the window: while exporting they cancel the export.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void showProgress();

    ProjectDocument& document_;
    ExportOptions options_;
    QStackedWidget* faces_;
    SegmentedControl* codec_;
    SegmentedControl* resolution_;
    QPushButton* cancelButton_;
    QPushButton* exportButton_;
    QProgressBar* progress_;
    QPushButton* cancelExport_;
    QPointer<QFileDialog> destination_;
};

}  // namespace zarvex
