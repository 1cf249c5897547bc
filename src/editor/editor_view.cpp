#include "editor/editor_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/player_time_model.h"
#include "editor/player_view.h"
#include "editor/style_column.h"
#include "editor/transport_bar.h"
#include "editor/zoom_editor.h"
#include "editor/zoom_lane.h"
#include "editor/zoom_section.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/themed_bar.h"

namespace zarvex {
namespace {

constexpr int kMargin = 16;  // from the window's edges to the bars'
constexpr int kGap = 12;     // between the bars and the preview
const QColor kWarning(232, 72, 56);

}  // namespace

ErrorBanner::ErrorBanner(ProjectDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 8, 8);
    row->setSpacing(10);
    auto* icon = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 18, kWarning);
    message_ = new QLabel;
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dismiss_ = symbolButton(QStringLiteral("xmark"), QStringLiteral("Dismiss"));
    dismiss_->setIconSize(QSize(14, 14));
    connect(dismiss_, &QToolButton::clicked, this,
            [this] { document_.setErrorMessage(std::nullopt); });
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(message_, 1);
    row->addWidget(dismiss_, 0, Qt::AlignTop);
    connect(&document_, &ProjectDocument::errorMessageChanged, this, &ErrorBanner::showMessage);
    showMessage();
}

void ErrorBanner::showMessage() {
    const std::optional<std::string>& message = document_.errorMessage();
    message_->setText(breakablePath(QString::fromStdString(message.value_or(std::string()))));
    setVisible(message.has_value());
}

void ErrorBanner::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = kWarning;
    fill.setAlphaF(theme.isRetro ? 0.16f : 0.20f);
    QColor edge = theme.panelColor ? themeOutline(theme) : kWarning;
    if (!theme.panelColor) {
        edge.setAlphaF(0.55f);
    }
    const double w = theme.panelColor ? theme.outlineWidth : 1;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2), 8, 8);
    painter.fillPath(shape, fill);
    painter.strokePath(shape, QPen(edge, w));
}

EditorView::EditorView(ProjectDocument& document, PresetStore& presets, EditorHeader::Reveal reveal,
                       QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header_ = new EditorHeader(document, std::move(reveal));
    column->addWidget(header_);
    banner_ = new ErrorBanner(document);
    auto* bannerRow = new QHBoxLayout;
    bannerRow->setContentsMargins(kMargin, 4, kMargin, 4);
    bannerRow->addWidget(banner_);
    column->addLayout(bannerRow);

    body_ = new QHBoxLayout;
    stage_ = new QVBoxLayout;
    player_ = new PlayerView(document);
    transport_ = new TransportBar(document, player_->time());
    stage_->addWidget(player_, 1);
    stage_->addWidget(transport_);
    body_->addLayout(stage_, 1);
    inspector_ = new InspectorView(document, presets);
    body_->addWidget(inspector_);
    // Zoom segments: edited in the lane under the scrubber, the inspector's
    // section and by dragging the picture.
    zoom_ = new ZoomEditor(document, this);
    PlayerTimeModel& time = player_->time();
    zoom_->seek = [&time](double seconds) { time.seek(seconds); };
    zoom_->playhead = [&time] { return time.current(); };
    transport_->setZoomLane(new ZoomLane(*zoom_));
    inspector_->addZoomSection(new ZoomSection(*zoom_));
    player_->setZoomEditor(zoom_);
    column->addLayout(body_, 1);
    // Space plays and pauses, as in any player; text fields keep it for typing.
    auto* space = new QShortcut(Qt::Key_Space, this);
    connect(space, &QShortcut::activated, transport_, &TransportBar::togglePlay);
    applyThemeSpacing();
}

// The bars and the preview keep room for their shadows around them, which
// differ by theme; the margins and gaps make up the rest, so the visible edges
// sit kMargin from the window's and kGap apart in every theme.
void EditorView::applyThemeSpacing() {
    const QMargins shadow = themedBarShadowMargins(ApplicationTheme::current());
    body_->setContentsMargins(
        std::max(0, kMargin - shadow.left()), std::max(0, kGap - shadow.top()),
        std::max(0, kMargin - shadow.right()), std::max(0, kMargin - shadow.bottom()));
    body_->setSpacing(std::max(0, kGap - shadow.left() - shadow.right()));
    stage_->setSpacing(std::max(0, kGap - shadow.top() - shadow.bottom()));
}

void EditorView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        applyThemeSpacing();
    }
    QWidget::changeEvent(event);
}

}  // namespace zarvex
