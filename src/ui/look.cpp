#include "ui/look.h"

#include <QFontInfo>

namespace zarvex {
namespace {

QColor& recordedAccent() {
    static QColor accent(48, 140, 198);  // Fusion's highlight, until the bootstrap records one
    return accent;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

QString rgba(const QColor& c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(QString::number(c.alphaF(), 'f', 3));
}

// One row of the role table: a colour for the active and inactive groups and
// one for the disabled group.
struct Role {
    QPalette::ColorRole role;
    QColor normal;
    QColor disabled;
};

QPalette paletteFrom(const std::initializer_list<Role>& roles) {
    QPalette palette;
    for (const Role& r : roles) {
        palette.setColor(QPalette::Active, r.role, r.normal);
        palette.setColor(QPalette::Inactive, r.role, r.normal);
        palette.setColor(QPalette::Disabled, r.role, r.disabled.isValid() ? r.disabled : r.normal);
    }
    return palette;
}

QPalette stageDarkPalette(const QColor& accent) {
    const QColor ink(236, 240, 244);
    const QColor dim = withAlpha(ink, 0.35);
    return paletteFrom({
        {QPalette::Window, QColor(16, 24, 32), {}},
        {QPalette::WindowText, ink, dim},
        {QPalette::Base, QColor(22, 31, 40), {}},
        {QPalette::AlternateBase, QColor(30, 40, 50), {}},
        {QPalette::Text, ink, dim},
        {QPalette::PlaceholderText, withAlpha(ink, 0.4), withAlpha(ink, 0.25)},
        {QPalette::Button, QColor(38, 48, 58), QColor(30, 38, 46)},
        {QPalette::ButtonText, ink, dim},
        {QPalette::BrightText, Qt::white, {}},
        {QPalette::Light, QColor(66, 78, 90), {}},
        {QPalette::Midlight, QColor(50, 62, 74), {}},
        {QPalette::Mid, QColor(30, 40, 50), {}},
        {QPalette::Dark, QColor(10, 13, 17), {}},
        {QPalette::Shadow, Qt::black, {}},
        {QPalette::Highlight, accent, QColor(60, 70, 80)},
        {QPalette::HighlightedText, Qt::white, dim},
        {QPalette::Link, accent.lighter(130), {}},
        {QPalette::ToolTipBase, QColor(30, 40, 50), {}},
        {QPalette::ToolTipText, ink, {}},
    });
}

}  // namespace

QColor toQColor(const Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

QColor systemAccentColor() {
    return recordedAccent();
}

void setSystemAccentColor(const QColor& color) {
    if (color.isValid()) {
        recordedAccent() = color;
    }
}

QColor themeOutline(const Theme& theme) {
    return toQColor(theme.outline.value_or(Color{0, 0, 0, 1}));
}

QColor themeAccent(const Theme& theme) {
    return theme.accent.systemAccent ? systemAccentColor() : toQColor(theme.accent.color);
}

QPalette retroLightPalette(const QColor& accent) {
    const QColor ink(34, 30, 26);
    const QColor dim = withAlpha(ink, 0.38);
    return paletteFrom({
        {QPalette::Window, QColor(255, 246, 232), {}},
        {QPalette::WindowText, ink, dim},
        {QPalette::Base, QColor(255, 252, 246), QColor(250, 242, 228)},
        {QPalette::AlternateBase, QColor(250, 238, 218), {}},
        {QPalette::Text, ink, dim},
        {QPalette::PlaceholderText, withAlpha(ink, 0.45), withAlpha(ink, 0.3)},
        {QPalette::Button, QColor(255, 246, 232), QColor(246, 236, 220)},
        {QPalette::ButtonText, ink, dim},
        {QPalette::BrightText, Qt::white, {}},
        {QPalette::Light, Qt::white, {}},
        {QPalette::Midlight, QColor(250, 238, 218), {}},
        {QPalette::Mid, QColor(200, 186, 166), {}},
        {QPalette::Dark, QColor(120, 108, 94), {}},
        {QPalette::Shadow, ink, {}},
        {QPalette::Highlight, accent, QColor(200, 186, 166)},
        {QPalette::HighlightedText, Qt::white, dim},
        {QPalette::Link, accent.darker(115), {}},
        {QPalette::ToolTipBase, QColor(255, 249, 236), {}},
        {QPalette::ToolTipText, ink, {}},
    });
}

QPalette themePalette(const Theme& theme) {
    const QColor accent = themeAccent(theme);
    return theme.isRetro ? retroLightPalette(accent) : stageDarkPalette(accent);
}

QString fontFamily(FontDesign design) {
    return design == FontDesign::rounded ? QStringLiteral("Quicksand") : QStringLiteral("Inter");
}

QFont themeFont(FontDesign design, double pixelSize, QFont::Weight weight) {
    QFont font(fontFamily(design));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qRound(pixelSize));
    if (pixelSize != qRound(pixelSize)) {
        font.setPointSizeF(pixelSize * 72.0 / 96.0);  // keeps fractional sizes such as 11.5
    }
    font.setWeight(weight);
    // The rounded face is drawn light; a touch more weight keeps it legible.
    if (design == FontDesign::rounded && weight == QFont::Normal) {
        font.setWeight(QFont::Medium);
    }
    return font;
}

QFont themeBodyFont(const Theme& theme) {
    return themeFont(theme.fontDesign, 13);
}

QFont themeHeadlineFont(const Theme& theme) {
    return themeFont(theme.fontDesign, 13, QFont::DemiBold);
}

QFont themeCaptionFont(const Theme& theme) {
    return themeFont(theme.fontDesign, 11);
}

QColor secondaryTextColor(const QPalette& palette) {
    return withAlpha(palette.color(QPalette::WindowText), 0.6);
}

QString themeStyleSheet(const Theme& theme) {
    const QPalette palette = themePalette(theme);
    const QColor accent = themeAccent(theme);
    const QColor ink = palette.color(QPalette::WindowText);
    const bool solid = theme.panelColor.has_value();
    const QColor border = solid ? themeOutline(theme) : withAlpha(Qt::white, 0.14);
    const int borderWidth = solid ? qMax(1, qRound(theme.outlineWidth)) : 1;
    const int radius = qRound(theme.controlRadius);
    const QColor buttonFill = solid ? toQColor(*theme.panelColor) : withAlpha(Qt::white, 0.08);
    const QColor buttonHover = solid ? QColor(255, 252, 244) : withAlpha(Qt::white, 0.13);
    const QColor buttonDown = solid ? QColor(238, 220, 195) : withAlpha(Qt::white, 0.05);
    const QColor fieldFill = palette.color(QPalette::Base);
    const QColor groove = solid ? QColor(238, 220, 195) : withAlpha(Qt::white, 0.14);
    const QColor handle = solid ? toQColor(*theme.panelColor) : QColor(236, 240, 244);

    QString sheet;
    sheet += QStringLiteral(
                 "QPushButton, QToolButton[bordered=\"true\"], QComboBox {"
                 " background: %1; color: %2; border: %3px solid %4; border-radius: %5px;"
                 " padding: 3px 12px; min-height: 20px; }"
                 "QPushButton:hover, QToolButton[bordered=\"true\"]:hover, QComboBox:hover {"
                 " background: %6; }"
                 "QPushButton:pressed, QToolButton[bordered=\"true\"]:pressed,"
                 " QToolButton[bordered=\"true\"]:checked { background: %7; }"
                 "QPushButton:disabled, QToolButton:disabled, QComboBox:disabled { color: %8; }")
                 .arg(rgba(buttonFill), rgba(ink))
                 .arg(borderWidth)
                 .arg(rgba(border))
                 .arg(radius)
                 .arg(rgba(buttonHover), rgba(buttonDown),
                      rgba(palette.color(QPalette::Disabled, QPalette::ButtonText)));
    sheet += QStringLiteral(
                 "QPushButton[prominent=\"true\"] { background: %1; color: white; }"
                 "QPushButton[prominent=\"true\"]:hover { background: %2; }"
                 "QPushButton[prominent=\"true\"]:pressed { background: %3; }"
                 "QPushButton[prominent=\"true\"]:disabled { background: %4; color: %5; }")
                 .arg(rgba(accent), rgba(accent.lighter(110)), rgba(accent.darker(115)),
                      rgba(withAlpha(accent, 0.35)), rgba(withAlpha(Qt::white, 0.6)));
    sheet += QStringLiteral(
                 "QToolButton { background: transparent; border: none; border-radius: %1px;"
                 " padding: 3px; color: %2; }"
                 "QToolButton:hover { background: %3; }")
                 .arg(radius)
                 .arg(rgba(ink), rgba(withAlpha(ink, 0.08)));
    sheet += QStringLiteral(
                 "QComboBox { padding-right: 24px; }"
                 "QComboBox::drop-down { border: none; width: 22px; }"
                 "QComboBox::down-arrow { image: url(:/zarvex/ui/chevron-%6.svg); width: 12px;"
                 " height: 12px; }"
                 "QComboBox QAbstractItemView { background: %1; color: %2;"
                 " selection-background-color: %3; selection-color: white; border: %4px solid %5;"
                 " outline: none; padding: 2px; }")
                 .arg(rgba(palette.color(QPalette::Base)), rgba(ink), rgba(accent))
                 .arg(borderWidth)
                 .arg(rgba(border))
                 .arg(theme.isRetro ? QStringLiteral("ink") : QStringLiteral("light"));
    sheet += QStringLiteral(
                 "QLineEdit, QPlainTextEdit { background: %1; color: %2; border: %3px solid %4;"
                 " border-radius: %5px; padding: 3px 6px; min-height: 20px;"
                 " selection-background-color: %6; selection-color: white; }"
                 "QLineEdit:focus, QPlainTextEdit:focus { border-color: %6; }")
                 .arg(rgba(fieldFill), rgba(ink))
                 .arg(borderWidth)
                 .arg(rgba(border))
                 .arg(radius)
                 .arg(rgba(accent));
    sheet += QStringLiteral(
                 "QSlider::groove:horizontal { height: 4px; border-radius: 2px; background: %1; }"
                 "QSlider::sub-page:horizontal { height: 4px; border-radius: 2px; background: %2; }"
                 "QSlider::handle:horizontal { width: 14px; height: 14px; margin: -5px 0;"
                 " border-radius: 7px; background: %3; border: %4px solid %5; }")
                 .arg(rgba(groove), rgba(accent), rgba(handle))
                 .arg(solid ? borderWidth : 0)
                 .arg(rgba(border));
    // Text roles any window can give a label or button with setProperty("role", …).
    sheet += QStringLiteral(
                 "QLabel[role=\"caption\"] { color: %1; font-size: 11px; }"
                 "QLabel[role=\"secondary\"] { color: %1; }"
                 "QLabel[role=\"title\"] { font-size: 15px; font-weight: 600; }"
                 "QPushButton[recording=\"true\"] { color: %2; border-color: %2; }")
                 .arg(rgba(secondaryTextColor(palette)), rgba(accent));
    sheet += QStringLiteral(
                 "QToolTip { background: %1; color: %2; border: %3px solid %4; padding: 3px 6px; }")
                 .arg(rgba(palette.color(QPalette::ToolTipBase)), rgba(ink))
                 .arg(solid ? borderWidth : 1)
                 .arg(rgba(solid ? border : withAlpha(Qt::white, 0.12)));
    return sheet;
}

}  // namespace zarvex
