#include "ui/segmented_control.h"

#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr int kHeight = 26;
constexpr int kPaddingX = 12;
constexpr int kIconSize = 14;
constexpr int kIconGap = 5;

}  // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setSegments(labels);
}

void SegmentedControl::setSegments(const QStringList& labels, const QStringList& symbols) {
    labels_ = labels;
    symbols_ = symbols;
    if (current_ >= count()) {
        current_ = -1;
    }
    updateGeometry();
    update();
}

void SegmentedControl::setCurrentIndex(int index) {
    if (index < -1 || index >= count() || index == current_) {
        return;
    }
    current_ = index;
    update();
    emit currentIndexChanged(index);
}

QSize SegmentedControl::sizeHint() const {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        int w = metrics.horizontalAdvance(labels_[i]);
        if (!symbols_.value(i).isEmpty()) {
            w += kIconSize + (labels_[i].isEmpty() ? 0 : kIconGap);
        }
        widest = qMax(widest, w);
    }
    return {qMax(1, count()) * (widest + 2 * kPaddingX) + 4, kHeight};
}

QRect SegmentedControl::segmentRect(int index) const {
    if (index < 0 || index >= count()) {
        return {};
    }
    const QRect inner = rect().adjusted(2, 2, -2, -2);
    const int left = inner.left() + inner.width() * index / count();
    const int right = inner.left() + inner.width() * (index + 1) / count();
    return {left, inner.top(), right - left, inner.height()};
}

int SegmentedControl::segmentAt(const QPoint& point) const {
    for (int i = 0; i < count(); ++i) {
        if (segmentRect(i).contains(point)) {
            return i;
        }
    }
    return -1;
}

void SegmentedControl::setSegmentEnabled(int index, bool enabled, const QString& toolTip) {
    if (enabled) {
        disabled_.remove(index);
        toolTips_.remove(index);
    } else {
        disabled_.insert(index);
        toolTips_.insert(index, toolTip);
    }
    update();
}

bool SegmentedControl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTips_.value(segmentAt(help->pos()));
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, this, segmentRect(segmentAt(help->pos())));
        }
        return true;
    }
    return QWidget::event(event);
}

void SegmentedControl::pick(int index) {
    if (index < 0 || index >= count() || disabled_.contains(index)) {
        return;
    }
    setCurrentIndex(index);
    emit activated(index);
}

void SegmentedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) {
        pick(segmentAt(event->position().toPoint()));
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent* event) {
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        const int step = (event->key() == Qt::Key_Right) != rtl ? 1 : -1;
        pick(qBound(0, current_ + step, count() - 1));
        return;
    }
    QWidget::keyPressEvent(event);
}

void SegmentedControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    const bool solid = theme.panelColor.has_value();
    const QColor ink = palette().color(QPalette::WindowText);
    const QColor outline = themeOutline(theme);
    const double radius = theme.controlRadius;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }

    const double w = solid ? theme.outlineWidth : 1;
    const QRectF frame = QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2);
    painter.setPen(solid ? QPen(outline, w) : QPen(QColor(255, 255, 255, 36), w));
    painter.setBrush(solid ? toQColor(*theme.panelColor) : QColor(255, 255, 255, 20));
    painter.drawRoundedRect(frame, radius, radius);

    for (int i = 0; i < count(); ++i) {
        const QRect segment = segmentRect(i);
        const bool selected = i == current_;
        if (selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(solid ? themeAccent(theme) : QColor(255, 255, 255, 56));
            const QRectF pill = QRectF(segment).adjusted(solid ? 1 : 0, solid ? 1 : 0,
                                                         solid ? -1 : 0, solid ? -1 : 0);
            painter.drawRoundedRect(pill, qMax(0.0, radius - 2), qMax(0.0, radius - 2));
        } else if (i > 0 && i - 1 != current_) {
            QColor divider = solid ? outline : QColor(Qt::white);
            divider.setAlphaF(solid ? 0.35f : 0.12f);
            painter.setPen(QPen(divider, 1));
            painter.drawLine(QPointF(segment.left(), segment.top() + 5),
                             QPointF(segment.left(), segment.bottom() - 4));
        }
        QColor text = selected && solid ? QColor(Qt::white) : ink;
        if (disabled_.contains(i)) {
            text.setAlphaF(0.35f);
        }
        painter.setPen(text);
        QFont f = font();
        if (selected) {
            f.setWeight(QFont::DemiBold);
        }
        painter.setFont(f);
        const QString symbol = symbols_.value(i);
        const QFontMetrics metrics(f);
        const int textWidth = metrics.horizontalAdvance(labels_[i]);
        const int iconWidth =
            symbol.isEmpty() ? 0 : kIconSize + (labels_[i].isEmpty() ? 0 : kIconGap);
        int x = segment.left() + (segment.width() - textWidth - iconWidth) / 2;
        if (!symbol.isEmpty()) {
            const QRect iconRect(x, segment.center().y() - kIconSize / 2 + 1, kIconSize, kIconSize);
            painter.drawImage(iconRect,
                              symbolImage(symbol, iconRect.size(), text, devicePixelRatioF()));
            x += iconWidth;
        }
        painter.drawText(QRect(x, segment.top(), textWidth + 2, segment.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, labels_[i]);
    }
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(themeAccent(theme), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius, radius);
    }
}

}  // namespace zarvex
