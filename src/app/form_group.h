#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace zarvex {

// A group of a grouped form: rows separated by hairlines on a panel (the
// panel tint with a hairline border, or the solid panel with its ink outline
// and hard shadow in a retro theme). Follows the applied theme.
class FormGroup : public QWidget {
    Q_OBJECT
  public:
    explicit FormGroup(QWidget* parent = nullptr);

    // A row: the label on the leading side, the control on the trailing one.
    void addRow(const QString& label, QWidget* control);
    // A row of any content.
    void addRowWidget(QWidget* row);
    // A caption under the last row (secondary, small); returns its label.
    QLabel* addCaption(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVBoxLayout* rows_;
    int rowCount_ = 0;
};

}  // namespace zarvex
