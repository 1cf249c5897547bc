// The themed pieces side by side: backdrop, section headers, bars, controls
// and every symbol.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "shots.h"
#include "ui/look.h"
#include "ui/segmented_control.h"
#include "ui/symbols.h"
#include "ui/themed_bar.h"
#include "ui/themed_section_header.h"
#include "ui/toggle_switch.h"
#include "ui/window_backdrop.h"

namespace {

using namespace zarvex;

QLabel* caption(const QString& text, const Theme& theme) {
    auto* label = new QLabel(text);
    label->setFont(themeCaptionFont(theme));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor(palette));
    label->setPalette(palette);
    return label;
}

QToolButton* symbolButton(const QString& symbol, const QString& tip) {
    auto* button = new QToolButton;
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(tip);
    button->setProperty("bordered", true);
    return button;
}

QWidget* controlsColumn(const Theme& theme) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    layout->addWidget(new ThemedSectionHeader(QStringLiteral("Background"), 0));
    auto* tabs = new SegmentedControl({"Gradients", "Solid", "Image"});
    tabs->setCurrentIndex(0);
    layout->addWidget(tabs);

    auto* exportButton = new QPushButton(symbolIcon("square.and.arrow.up"), "Export");
    exportButton->setProperty("prominent", true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton("Cancel"));
    buttons->addWidget(exportButton);
    auto* disabled = new QPushButton("Disabled");
    disabled->setEnabled(false);
    buttons->addWidget(disabled);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    auto* trailing = new QPushButton(symbolIcon("square.stack.3d.up"), "Manage");
    layout->addWidget(new ThemedSectionHeader(QStringLiteral("Presets"), 1, trailing));
    auto* field = new QLineEdit;
    field->setPlaceholderText("{{name}}");
    layout->addWidget(field);
    auto* picker = new QComboBox;
    picker->addItems({"Off", "3 seconds", "5 seconds"});
    picker->setCurrentIndex(1);
    layout->addWidget(picker);

    layout->addWidget(new ThemedSectionHeader(QStringLiteral("Layout"), 2));
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setValue(40);
    layout->addWidget(slider);
    auto* switches = new QHBoxLayout;
    auto* on = new ToggleSwitch;
    on->setChecked(true);
    switches->addWidget(on);
    switches->addWidget(new QLabel("On"));
    switches->addSpacing(16);
    switches->addWidget(new ToggleSwitch);
    switches->addWidget(new QLabel("Off"));
    switches->addStretch(1);
    layout->addLayout(switches);
    layout->addWidget(caption("A secondary caption in the theme's font.", theme));
    layout->addStretch(1);
    return column;
}

QWidget* symbolGrid() {
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(6);
    const QStringList names = symbolNames();
    for (int i = 0; i < names.size(); ++i) {
        auto* icon = new QLabel;
        icon->setPixmap(symbolIcon(names[i]).pixmap(QSize(22, 22), icon->devicePixelRatioF()));
        icon->setToolTip(names[i]);
        layout->addWidget(icon, i / 9, i % 9);
    }
    return grid;
}

}  // namespace

ZARVEX_SHOT(theme_gallery) {
    const Theme& theme = shot.theme();
    WindowBackdrop window;
    window.setWindowTitle(QStringLiteral("Theme gallery — %1").arg(theme.name.c_str()));
    auto* layout = new QHBoxLayout(&window);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(28);
    layout->addWidget(controlsColumn(theme), 1);

    auto* right = new QVBoxLayout;
    right->setSpacing(16);
    auto* bar = new ThemedBar(14);
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(16, 10, 16, 10);
    barRow->setSpacing(14);
    auto* modes = new SegmentedControl;
    modes->setSegments({"Display", "Window", "Region"},
                       {"display", "macwindow", "rectangle.dashed"});
    modes->setCurrentIndex(2);
    modes->setFixedWidth(240);
    barRow->addWidget(modes);
    barRow->addWidget(symbolButton("mic.fill", "Microphone on"));
    barRow->addWidget(symbolButton("speaker.wave.2.fill", "System audio on"));
    barRow->addWidget(symbolButton("video.slash.fill", "Camera off"));
    barRow->addWidget(symbolButton("cursorarrow", "Cursor visible in recording"));
    right->addWidget(bar);
    auto* smallBar = new ThemedBar(8);
    auto* smallRow = new QHBoxLayout(smallBar);
    smallRow->setContentsMargins(12, 8, 12, 8);
    smallRow->addWidget(symbolButton("play.fill", "Play"));
    smallRow->addWidget(new QLabel("0:12"));
    smallRow->addStretch(1);
    smallRow->addWidget(symbolButton("scissors", "Trim"));
    right->addWidget(smallBar);
    right->addWidget(symbolGrid());
    right->addStretch(1);
    layout->addLayout(right, 1);

    window.resize(1040, 560);
    window.move(80, 80);
    shot.capture(window, "theme-gallery");
}
