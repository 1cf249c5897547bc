#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;

namespace zarvex {

// What is asked when an editor window closes, or Zarvex quits, while
// recordings are exporting: keep exporting (the default, also Escape) or
// cancel. It shows over its window like the export sheet; finished() carries
// the answer.
class ExportQuestion : public QDialog {
    Q_OBJECT
  public:
    enum class Asked { closingWindow, quitting };
    enum Answer { keepExporting = 1, cancelExport = 2 };

    // `names`: the recordings still exporting (one for a window).
    ExportQuestion(Asked asked, const QStringList& names, QWidget* parent);

    QLabel* title() const { return title_; }
    QLabel* message() const { return message_; }
    QPushButton* keepButton() const { return keep_; }
    QPushButton* cancelButton() const { return cancel_; }

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* title_;
    QLabel* message_;
    QPushButton* cancel_;
    QPushButton* keep_;
};

}  // namespace zarvex
