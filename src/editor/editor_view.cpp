#include "editor/editor_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/inspector_view.h"
#include "editor/player_view.h"
#include "editor/transport_bar.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr int kMargin = 16;
const QColor kWarning(232, 72, 56);

}  // namespace

ErrorBanner::ErrorBanner(ProjectDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 8, 8);
    row->setSpacing(10);
    icon_ = new QLabel;
    icon_->setPixmap(symbolIcon(QStringLiteral("exclamationmark.triangle.fill"), kWarning)
                         .pixmap(QSize(18, 18), devicePixelRatioF()));
    message_ = new QLabel;
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dismiss_ = symbolButton(QStringLiteral("xmark"), QStringLiteral("Dismiss"));
    dismiss_->setIconSize(QSize(14, 14));
    connect(dismiss_, &QToolButton::clicked, this,
            [this] { document_.setErrorMessage(std::nullopt); });
    row->addWidget(icon_, 0, Qt::AlignTop);
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

    auto* body = new QHBoxLayout;
    // The bars keep room for their shadows around them; the margins make up the rest.
    body->setContentsMargins(kMargin - 10, 0, kMargin - 10, kMargin - 4);
    body->setSpacing(6);
    auto* stage = new QVBoxLayout;
    stage->setSpacing(4);
    player_ = new PlayerView(document);
    transport_ = new TransportBar(document, player_->time());
    stage->addWidget(player_, 1);
    stage->addWidget(transport_);
    body->addLayout(stage, 1);
    inspector_ = new InspectorView(document, presets);
    body->addWidget(inspector_);
    column->addLayout(body, 1);
    setFocusPolicy(Qt::StrongFocus);
}

void EditorView::keyPressEvent(QKeyEvent* event) {
    // Space plays and pauses, as in any player, unless a field takes the key.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        transport_->togglePlay();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace zarvex
