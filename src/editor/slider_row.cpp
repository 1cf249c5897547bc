#include "editor/slider_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <cmath>

namespace zarvex {
namespace {

// Fine enough to look continuous: a step is a few hundredths of a point.
constexpr int kSteps = 10000;
constexpr int kLabelWidth = 64;
constexpr int kValueWidth = 40;

}  // namespace

SliderRow::SliderRow(const QString& label, SliderRange range, ValueFormat format, QWidget* parent)
    : QWidget(parent), range_(range), format_(format) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* name = new QLabel(label);
    name->setFixedWidth(kLabelWidth);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(0, kSteps);
    slider_->setAccessibleName(label);
    name->setBuddy(slider_);
    text_ = new QLabel;
    text_->setProperty("role", QStringLiteral("secondary"));
    text_->setFixedWidth(kValueWidth);
    text_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(name);
    row->addWidget(slider_, 1);
    row->addWidget(text_);

    report_.setSingleShot(true);
    report_.setInterval(0);
    connect(&report_, &QTimer::timeout, this, [this] { emit valueEdited(value_); });
    connect(slider_, &QSlider::valueChanged, this, [this](int step) {
        value_ = valueOfStep(step);
        showText();
        report_.start();
    });
    setValue(range.minimum);
}

int SliderRow::stepOf(double value) const {
    const double span = range_.maximum - range_.minimum;
    if (!(span > 0)) {
        return 0;
    }
    return static_cast<int>(std::lround((range_.clamp(value) - range_.minimum) / span * kSteps));
}

double SliderRow::valueOfStep(int step) const {
    if (step >= kSteps) {
        return range_.maximum;  // exactly, so the top of a range shows as such
    }
    return range_.minimum + (range_.maximum - range_.minimum) * step / kSteps;
}

void SliderRow::setValue(double value) {
    if (report_.isActive()) {
        return;  // an edit is about to be reported: it is the newer value
    }
    const QSignalBlocker block(slider_);
    value_ = range_.clamp(value);
    slider_->setValue(stepOf(value_));
    showText();
}

QString SliderRow::valueText() const {
    return text_->text();
}

void SliderRow::showText() {
    text_->setText(QString::fromStdString(sliderValueText(value_, format_)));
}

}  // namespace zarvex
