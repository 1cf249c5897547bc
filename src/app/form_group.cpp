#include "app/form_group.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {
namespace {

constexpr int kRowPaddingX = 14;
constexpr int kRowPaddingY = 9;
constexpr double kGroupRadius = 10;

// A hairline between two rows.
class Separator : public QWidget {
  public:
    Separator() { setFixedHeight(1); }

  protected:
    void paintEvent(QPaintEvent*) override {
        const Theme& theme = ApplicationTheme::current();
        QColor line = toQColor(theme.hairline);
        if (theme.isRetro) {
            line.setAlphaF(0.25f);  // the ink hairline, softened inside a panel
        }
        QPainter(this).fillRect(rect().adjusted(kRowPaddingX, 0, 0, 0), line);
    }
};

}  // namespace

FormGroup::FormGroup(QWidget* parent) : QWidget(parent), rows_(new QVBoxLayout(this)) {
    rows_->setContentsMargins(0, 2, 3, 5);  // room for the retro hard shadow
    rows_->setSpacing(0);
}

void FormGroup::addRowWidget(QWidget* row) {
    if (rowCount_ > 0) {
        rows_->addWidget(new Separator);
    }
    rows_->addWidget(row);
    ++rowCount_;
}

void FormGroup::addRow(const QString& label, QWidget* control) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(kRowPaddingX, kRowPaddingY, kRowPaddingX, kRowPaddingY);
    layout->setSpacing(12);
    auto* text = new QLabel(label);
    layout->addWidget(text);
    layout->addStretch(1);
    layout->addWidget(control, 0, Qt::AlignVCenter);
    text->setBuddy(control);
    addRowWidget(row);
}

QLabel* FormGroup::addCaption(const QString& text) {
    auto* caption = new QLabel(text);
    caption->setProperty("role", QStringLiteral("caption"));
    caption->setWordWrap(true);
    caption->setContentsMargins(kRowPaddingX, 0, kRowPaddingX, kRowPaddingY);
    rows_->addWidget(caption);
    return caption;
}

void FormGroup::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = QRectF(rect()).adjusted(0, 0, -3, -3);
    if (theme.panelColor) {
        const QColor ink = themeOutline(theme);
        const double w = theme.outlineWidth;
        QPainterPath shadow;
        shadow.addRoundedRect(panel.translated(3, 3), kGroupRadius, kGroupRadius);
        painter.fillPath(shadow, ink);
        QPainterPath shape;
        shape.addRoundedRect(panel.adjusted(w / 2, w / 2, -w / 2, -w / 2), kGroupRadius,
                             kGroupRadius);
        painter.fillPath(shape, toQColor(*theme.panelColor));
        painter.strokePath(shape, QPen(ink, w));
    } else {
        QPainterPath shape;
        shape.addRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), kGroupRadius, kGroupRadius);
        painter.fillPath(shape, toQColor(theme.panelTint));
        QColor border = toQColor(theme.hairline);
        border.setAlphaF(qMax(border.alphaF(), 0.1f));
        painter.strokePath(shape, QPen(border, 1));
    }
}

}  // namespace zarvex
