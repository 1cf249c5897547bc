#include "editor/chrome.h"

#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QToolButton>

#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/symbols.h"

namespace zarvex {

QToolButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel* roleLabel(const QString& text, const QString& role, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setProperty("role", role);
    return label;
}

QColor trackGrooveColor(const Theme& theme) {
    return theme.panelColor ? QColor(238, 220, 195) : QColor(255, 255, 255, 36);
}

QColor trackFillColor(const Theme& theme) {
    return themeAccent(theme);
}

void paintSliderHandle(QPainter& painter, QPointF center, double diameter, const Theme& theme) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double r = diameter / 2;
    if (theme.panelColor) {
        const double w = qMax(1.0, theme.outlineWidth);
        painter.setPen(QPen(themeOutline(theme), w));
        painter.setBrush(toQColor(*theme.panelColor));
        painter.drawEllipse(center, r - w / 2, r - w / 2);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 70));
        painter.drawEllipse(center + QPointF(0, 1), r, r);
        painter.setBrush(QColor(236, 240, 244));
        painter.drawEllipse(center, r, r);
    }
    painter.restore();
}

QColor dividerColor(const Theme& theme) {
    QColor line = toQColor(theme.hairline);
    if (theme.isRetro) {
        line.setAlphaF(0.25f);  // the ink hairline, softened inside a panel
    }
    return line;
}

void paintPopupPanel(QPainter& painter, const QWidget& window) {
    const Theme& theme = ApplicationTheme::current();
    const QRectF area = window.rect();
    painter.fillRect(area, theme.panelColor ? toQColor(*theme.panelColor)
                                            : window.palette().color(QPalette::AlternateBase));
    const double w = theme.panelColor ? theme.outlineWidth : 1;
    painter.setPen(QPen(theme.panelColor ? themeOutline(theme) : QColor(255, 255, 255, 40), w));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(w / 2, w / 2, -w / 2, -w / 2));
}

void showStackPage(QStackedWidget& stack, int index) {
    for (int i = 0; i < stack.count(); ++i) {
        const QSizePolicy::Policy vertical =
            i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        stack.widget(i)->setSizePolicy(QSizePolicy::Preferred, vertical);
    }
    stack.setCurrentIndex(index);
    stack.updateGeometry();
}

QString breakablePath(const QString& text) {
    QString broken = text;
    broken.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    return broken;
}

SymbolView::SymbolView(const QString& symbol, int size, QColor color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), size_(size), color_(color) {
    setFixedSize(size, size);
}

void SymbolView::paintEvent(QPaintEvent*) {
    const QColor color = color_.isValid() ? color_ : palette().color(QPalette::WindowText);
    QPainter(this).drawImage(QPointF(0, 0),
                             symbolImage(symbol_, QSize(size_, size_), color, devicePixelRatioF()));
}

Divider::Divider(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
    if (orientation == Qt::Horizontal) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedWidth(1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), dividerColor(ApplicationTheme::current()));
}

}  // namespace zarvex
