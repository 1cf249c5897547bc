#pragma once

#include <QDialog>

#include "app/update_controller.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace zarvex {

// The face of an update check: "Checking for Updates…", then either
// "You're up to date." or the newer version's notes with a button that opens
// its download page, or why the check failed. What the server sent is shown
// as plain text. Closing it while the check runs (Cancel) cancels the check.
class UpdateDialog : public QDialog {
    Q_OBJECT
  public:
    explicit UpdateDialog(UpdateChecker& checker, QWidget* parent = nullptr);

    QString headline() const;
    QString detail() const;
    QString notes() const;
    QPushButton* downloadButton() const { return download_; }

    void showChecking();
    void showResult(const UpdateCheckResult& result);

    void done(int result) override;

  private:
    UpdateChecker& checker_;
    const BundleInfo running_;
    QLabel* icon_;
    QLabel* headline_;
    QLabel* detail_;
    QProgressBar* busy_;
    QPlainTextEdit* notes_;
    QPushButton* download_;
    QPushButton* close_;
    QString downloadUrl_;
};

}  // namespace zarvex
