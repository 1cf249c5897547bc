#include "editor/zoom_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/slider_row.h"
#include "editor/zoom_editor.h"
#include "ui/symbols.h"
#include "ui/toggle_switch.h"

namespace zarvex {

ZoomSection::ZoomSection(ZoomEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* autoRow = new QHBoxLayout;
    auto* autoLabel = new QLabel(QStringLiteral("Auto zoom on clicks"));
    auto_ = new ToggleSwitch;
    auto_->setAccessibleName(QStringLiteral("Auto zoom on clicks"));
    autoLabel->setBuddy(auto_);
    autoRow->addWidget(autoLabel);
    autoRow->addStretch(1);
    autoRow->addWidget(auto_);
    column->addLayout(autoRow);
    connect(auto_, &ToggleSwitch::toggled, &editor_, &ZoomEditor::setAutoZoom);

    add_ = new QPushButton(symbolIcon(QStringLiteral("plus")), QStringLiteral("Add Zoom"));
    add_->setToolTip(QStringLiteral("Add a zoom at the playhead"));
    connect(add_, &QPushButton::clicked, &editor_, [this] { editor_.add(); });
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(add_);
    addRow->addStretch(1);
    column->addLayout(addRow);

    scale_ = new SliderRow(QStringLiteral("Scale"), kZoomScaleRange, ValueFormat::magnification);
    connect(scale_, &SliderRow::valueEdited, &editor_, &ZoomEditor::setSelectedScale);
    column->addWidget(scale_);
    hint_ = roleLabel({}, QStringLiteral("caption"));
    hint_->setWordWrap(true);
    column->addWidget(hint_);

    connect(&editor_, &ZoomEditor::zoomChanged, this, &ZoomSection::showZoom);
    connect(&editor_, &ZoomEditor::selectionChanged, this, &ZoomSection::showZoom);
    showZoom();
}

void ZoomSection::showZoom() {
    {
        const QSignalBlocker block(auto_);
        auto_->setChecked(editor_.autoZoom());
    }
    const ZoomSegment* selected = editor_.selectedSegment();
    scale_->setEnabled(selected != nullptr);
    scale_->setValue(selected != nullptr ? selected->scale : kZoomClickScale);
    hint_->setText(selected != nullptr
                       ? QStringLiteral("Drag in the preview to move this zoom's centre.")
                       : QStringLiteral("Select a zoom under the timeline to change it."));
}

}  // namespace zarvex
