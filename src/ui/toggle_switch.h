#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

namespace zarvex {

// An on/off switch in the theme's colours: the accent track when on. A
// checkable button: use `toggled` and `setChecked`.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override;

  private:
    void animateTo(bool on);

    QVariantAnimation knob_;  // 0 = off … 1 = on
};

}  // namespace zarvex
