#include "editor/style_column.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "editor/background_section.h"
#include "editor/chrome.h"
#include "editor/presets_menu.h"
#include "editor/slider_row.h"
#include "editor/style_rules.h"
#include "editor/swatches.h"
#include "editor/zoom_section.h"
#include "render/geometry.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/segmented_control.h"
#include "ui/themed_bar.h"
#include "ui/themed_section_header.h"
#include "ui/toggle_switch.h"

namespace zarvex {
namespace {

constexpr int kColumnWidth = 300;
constexpr double kPanelRadius = 12;
constexpr int kSectionPadding = 14;

QString label(std::string_view raw) {
    return QString::fromUtf8(raw.data(), int(raw.size()));
}

// A section: its header, then its content indented under it.
QWidget* section(const QString& title, int index, QWidget* content, QWidget* trailing = nullptr) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(kSectionPadding, 12, kSectionPadding, 14);
    column->setSpacing(10);
    column->addWidget(new ThemedSectionHeader(title, index, trailing));
    if (content != nullptr) {
        column->addWidget(content);
    }
    return box;
}

// A row with a label on the leading side and a control on the trailing one.
QWidget* labelled(const QString& text, QWidget* control) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* name = new QLabel(text);
    name->setBuddy(control);
    layout->addWidget(name);
    layout->addStretch(1);
    layout->addWidget(control);
    return row;
}

QWidget* rows(std::initializer_list<QWidget*> widgets, int spacing = 10) {
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    for (QWidget* widget : widgets) {
        column->addWidget(widget);
    }
    return box;
}

}  // namespace

template <typename Edit>
void InspectorView::edit(Edit change) {
    StyleSettings style = document_.style();
    change(style);
    document_.setStyle(style);
}

InspectorView::InspectorView(ProjectDocument& document, PresetStore& presets, QWidget* parent)
    : QWidget(parent), document_(document) {
    setFixedWidth(kColumnWidth);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    panel_ = new ThemedBar(kPanelRadius);
    outer->addWidget(panel_);
    auto* panelLayout = new QVBoxLayout(panel_);
    panelLayout->setContentsMargins(1, 4, 1, 4);

    scroll_ = new QScrollArea;
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setStyleSheet(QStringLiteral(
        "QScrollArea { background: transparent; }"
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 4px 1px; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.45);"
        " border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    panelLayout->addWidget(scroll_);

    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    presetsButton_ = new PresetsMenuButton(document_, presets);
    background_ = new BackgroundSection(document_);
    cameraSection_ = section(QStringLiteral("Camera Bubble"), 4, buildCameraSection());
    clicksSection_ = section(QStringLiteral("Click Effects"), 5, buildClicksSection());
    const QList<QWidget*> sections{
        section(QStringLiteral("Presets"), 0, nullptr, presetsButton_),
        section(QStringLiteral("Background"), 1, background_),
        section(QStringLiteral("Layout"), 2, buildLayoutSection()),
        section(QStringLiteral("Aspect Ratio"), 3, buildAspectSection()),
        cameraSection_,
        clicksSection_,
    };
    for (int i = 0; i < sections.size(); ++i) {
        if (i > 0) {
            auto* divider = new QWidget;
            auto* inset = new QHBoxLayout(divider);
            inset->setContentsMargins(kSectionPadding, 0, kSectionPadding, 0);
            inset->addWidget(new Divider(Qt::Horizontal));
            column->addWidget(divider);
            // Hidden with the section it leads into.
            if (sections[i] == cameraSection_ || sections[i] == clicksSection_) {
                sections[i]->setProperty("divider", QVariant::fromValue<QObject*>(divider));
            }
        }
        column->addWidget(sections[i]);
    }
    column->addStretch(1);
    sections_ = column;
    scroll_->setWidget(content);

    connect(&document_, &ProjectDocument::styleChanged, this, &InspectorView::showStyle);
    connect(&document_, &ProjectDocument::isLoadedChanged, this, [this] {
        showSections();
        showStyle();  // the corner shown for a dragged bubble depends on the canvas
    });
    showStyle();
    showSections();
}

QWidget* InspectorView::buildLayoutSection() {
    padding_ = new SliderRow(QStringLiteral("Padding"), kPaddingRange, ValueFormat::fraction);
    connect(padding_, &SliderRow::valueEdited, this,
            [this](double v) { edit([v](StyleSettings& s) { s.paddingFraction = v; }); });
    corners_ = new SliderRow(QStringLiteral("Corners"), kCornersRange, ValueFormat::points);
    connect(corners_, &SliderRow::valueEdited, this,
            [this](double v) { edit([v](StyleSettings& s) { s.cornerRadius = v; }); });
    shadowOpacity_ =
        new SliderRow(QStringLiteral("Opacity"), kShadowOpacityRange, ValueFormat::fraction);
    connect(shadowOpacity_, &SliderRow::valueEdited, this,
            [this](double v) { edit([v](StyleSettings& s) { s.shadow.opacity = v; }); });
    shadowSoftness_ =
        new SliderRow(QStringLiteral("Softness"), kShadowSoftnessRange, ValueFormat::points);
    connect(shadowSoftness_, &SliderRow::valueEdited, this,
            [this](double v) { edit([v](StyleSettings& s) { s.shadow.blur = v; }); });
    auto* shadow = roleLabel(QStringLiteral("Shadow"), QStringLiteral("secondary"));
    shadow->setContentsMargins(0, 4, 0, 0);
    return rows({padding_, corners_, shadow, shadowOpacity_, shadowSoftness_});
}

QWidget* InspectorView::buildAspectSection() {
    aspect_ = new QComboBox;
    for (AspectPreset preset : allCases<AspectPreset>()) {
        aspect_->addItem(label(rawValue(preset)), int(preset));
    }
    aspect_->setMinimumWidth(140);
    connect(aspect_, &QComboBox::activated, this, [this](int index) {
        const auto preset = static_cast<AspectPreset>(aspect_->itemData(index).toInt());
        edit([preset](StyleSettings& s) { s.aspect = preset; });
    });
    return labelled(QStringLiteral("Aspect"), aspect_);
}

QWidget* InspectorView::buildCameraSection() {
    showCamera_ = new ToggleSwitch;
    showCamera_->setAccessibleName(QStringLiteral("Show camera"));
    connect(showCamera_, &ToggleSwitch::toggled, this,
            [this](bool on) { edit([on](StyleSettings& s) { s.webcam.hidden = !on; }); });
    QStringList shapes;
    for (WebcamSpec::Shape shape : allCases<WebcamSpec::Shape>()) {
        shapes << label(rawValue(shape));
    }
    shape_ = new SegmentedControl(shapes);
    shape_->setAccessibleName(QStringLiteral("Shape"));
    shape_->setFixedWidth(160);
    connect(shape_, &SegmentedControl::activated, this, [this](int index) {
        const WebcamSpec::Shape shape = allCases<WebcamSpec::Shape>()[std::size_t(index)];
        edit([shape](StyleSettings& s) { s.webcam.shape = shape; });
    });

    auto* grid = new QWidget;
    auto* cornerLayout = new QGridLayout(grid);
    cornerLayout->setContentsMargins(0, 0, 0, 0);
    cornerLayout->setSpacing(4);
    const std::array corners{WebcamSpec::Corner::topLeft, WebcamSpec::Corner::topRight,
                             WebcamSpec::Corner::bottomLeft, WebcamSpec::Corner::bottomRight};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        auto* button = new CornerButton(corners[i]);
        const WebcamSpec::Corner corner = corners[i];
        connect(button, &CornerButton::clicked, this, [this, corner] {
            document_.setStyle(withBubbleCorner(document_.style(), corner));
        });
        corners4_[i] = button;
        cornerLayout->addWidget(button, int(i / 2), int(i % 2));
    }
    auto* position = labelled(QStringLiteral("Position"), grid);
    auto* tip = roleLabel(QStringLiteral("Tip: drag the bubble directly on the preview."),
                          QStringLiteral("caption"));
    tip->setWordWrap(true);
    bubbleSize_ = new SliderRow(QStringLiteral("Size"), kBubbleSizeRange, ValueFormat::fraction);
    connect(bubbleSize_, &SliderRow::valueEdited, this,
            [this](double v) { edit([v](StyleSettings& s) { s.webcam.sizeFraction = v; }); });
    return rows({labelled(QStringLiteral("Show camera"), showCamera_),
                 labelled(QStringLiteral("Shape"), shape_), position, tip, bubbleSize_});
}

QWidget* InspectorView::buildClicksSection() {
    ripples_ = new ToggleSwitch;
    ripples_->setAccessibleName(QStringLiteral("Show click ripples"));
    connect(ripples_, &ToggleSwitch::toggled, this,
            [this](bool on) { edit([on](StyleSettings& s) { s.clickRipples = on; }); });
    return labelled(QStringLiteral("Show click ripples"), ripples_);
}

void InspectorView::addZoomSection(ZoomSection* zoom) {
    zoom_ = zoom;
    auto* divider = new QWidget;
    auto* inset = new QHBoxLayout(divider);
    inset->setContentsMargins(kSectionPadding, 0, kSectionPadding, 0);
    inset->addWidget(new Divider(Qt::Horizontal));
    const int stretch = sections_->count() - 1;  // stays last
    sections_->insertWidget(stretch, divider);
    sections_->insertWidget(stretch + 1, section(QStringLiteral("Zoom"), 6, zoom));
}

void InspectorView::showStyle() {
    const StyleSettings& style = document_.style();
    background_->showStyle();
    padding_->setValue(style.paddingFraction);
    corners_->setValue(style.cornerRadius);
    shadowOpacity_->setValue(style.shadow.opacity);
    shadowSoftness_->setValue(style.shadow.blur);
    aspect_->setCurrentIndex(aspect_->findData(int(style.aspect)));
    {
        const QSignalBlocker block(showCamera_);
        showCamera_->setChecked(!style.webcam.hidden);
    }
    shape_->setCurrentIndex(int(style.webcam.shape));
    const std::optional<WebcamSpec::Corner> corner =
        shownBubbleCorner(style.webcam, canvasSize(style.aspect, document_.screenSize()));
    for (CornerButton* button : corners4_) {
        button->setChecked(button->corner() == corner);
    }
    bubbleSize_->setValue(style.webcam.sizeFraction);
    const QSignalBlocker block(ripples_);
    ripples_->setChecked(style.ripplesEnabled());
}

void InspectorView::showSections() {
    for (auto [part, shown] : {std::pair{cameraSection_, document_.webcamTrackID().has_value()},
                               std::pair{clicksSection_, !document_.clicks().empty()}}) {
        part->setVisible(shown);
        if (auto* divider = qobject_cast<QWidget*>(part->property("divider").value<QObject*>())) {
            divider->setVisible(shown);
        }
    }
}

}  // namespace zarvex
