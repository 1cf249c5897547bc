#include "ui/themed_section_header.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {

std::optional<Color> titleBarColor(const Theme& theme, int index) {
    const auto count = static_cast<int>(theme.titleBarColors.size());
    if (count == 0) {
        return std::nullopt;
    }
    const int at = ((index % count) + count) % count;
    return theme.titleBarColors[static_cast<std::size_t>(at)];
}

ThemedSectionHeader::ThemedSectionHeader(const QString& title, int index, QWidget* trailing,
                                         QWidget* parent)
    : QWidget(parent),
      title_(title),
      index_(index),
      titleSlot_(new QWidget(this)),
      closeBox_(new QWidget(this)),
      row_(new QHBoxLayout(this)) {
    closeBox_->setFixedSize(9, 9);
    closeBox_->setAttribute(Qt::WA_TransparentForMouseEvents);
    titleSlot_->setAttribute(Qt::WA_TransparentForMouseEvents);
    row_->addWidget(closeBox_);
    row_->addWidget(titleSlot_);
    row_->addStretch(1);
    if (trailing) {
        row_->addWidget(trailing);
    }
    restyle();
}

QFont ThemedSectionHeader::titleFont() const {
    const Theme& theme = ApplicationTheme::current();
    if (theme.headerStyle != HeaderStyle::titleBar) {
        return themeHeadlineFont(theme);
    }
    QFont font = themeFont(theme.fontDesign, kTitleBarFontSize, QFont::Black);
    font.setLetterSpacing(QFont::AbsoluteSpacing, kTitleBarLetterSpacing);
    return font;
}

QColor ThemedSectionHeader::titleColor() const {
    return ApplicationTheme::current().headerStyle == HeaderStyle::titleBar
               ? QColor(Qt::black)
               : palette().color(QPalette::WindowText);
}

void ThemedSectionHeader::restyle() {
    restyling_ = true;
    const bool bar = ApplicationTheme::current().headerStyle == HeaderStyle::titleBar;
    row_->setSpacing(kTitleBarSpacing);
    if (bar) {
        row_->setContentsMargins(kTitleBarPaddingX, kTitleBarPaddingY, kTitleBarPaddingX,
                                 kTitleBarPaddingY);
    } else {
        row_->setContentsMargins(0, 0, 0, 0);
    }
    const QFontMetrics metrics(titleFont());
    titleSlot_->setFixedSize(metrics.horizontalAdvance(title_) + 2, metrics.height());
    closeBox_->setVisible(bar);
    restyling_ = false;
    update();
}

void ThemedSectionHeader::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    const auto color = titleBarColor(theme, index_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto drawTitle = [&] {
        painter.setFont(titleFont());
        painter.setPen(titleColor());
        painter.drawText(titleSlot_->geometry(), Qt::AlignLeft | Qt::AlignVCenter, title_);
    };
    if (theme.headerStyle != HeaderStyle::titleBar || !color) {
        drawTitle();
        return;
    }
    const QColor ink = themeOutline(theme);
    const double w = theme.outlineWidth;
    const double radius = qMin(theme.controlRadius, 3.0);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2), radius, radius);
    painter.fillPath(shape, toQColor(*color));
    if (w > 0) {
        painter.strokePath(shape, QPen(ink, w));
    }
    // The close box of an old title bar: a small outlined square.
    const QRectF box = QRectF(closeBox_->geometry()).adjusted(0.75, 0.75, -0.75, -0.75);
    painter.setPen(QPen(ink, 1.5));
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawRect(box);
    drawTitle();
}

void ThemedSectionHeader::changeEvent(QEvent* event) {
    if (!restyling_ &&
        (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)) {
        restyle();
    }
    QWidget::changeEvent(event);
}

}  // namespace zarvex
