#include "editor/transport_bar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/player_time_model.h"
#include "editor/timeline.h"
#include "editor/transport_rules.h"
#include "editor/trim_range_slider.h"
#include "editor/trim_rules.h"
#include "editor/zoom_lane.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "ui/look.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr double kCornerRadius = 12;
constexpr int kVolumeWidth = 64;
constexpr int kVolumeSteps = 1000;

QLabel* timeLabel() {
    auto* label = new QLabel(QStringLiteral("0:00"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Wide enough for "00:00", so the timeline does not shift as time passes.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 4);
    return label;
}

}  // namespace

TransportBar::TransportBar(ProjectDocument& document, PlayerTimeModel& time, QWidget* parent)
    : ThemedBar(kCornerRadius, parent), document_(document), time_(time) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);

    playButton_ = symbolButton(QStringLiteral("play.fill"), QStringLiteral("Play"));
    playButton_->setIconSize(QSize(20, 20));
    connect(playButton_, &QToolButton::clicked, this, &TransportBar::togglePlay);
    row->addWidget(playButton_);
    currentLabel_ = timeLabel();
    row->addWidget(currentLabel_);

    auto* timeline = new QWidget;
    timelineColumn_ = new QVBoxLayout(timeline);
    timelineColumn_->setContentsMargins(0, 0, 0, 0);
    timelineColumn_->setSpacing(1);
    scrubber_ = new TimelineScrubber;
    markers_ = new ClickMarkerStrip;
    timelineColumn_->addWidget(scrubber_);
    timelineColumn_->addWidget(markers_);
    trimSlider_ = new TrimRangeSlider;
    timelineStack_ = new QStackedWidget;
    timelineStack_->addWidget(timeline);
    timelineStack_->addWidget(trimSlider_);
    timelineStack_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    timelineStack_->setFixedHeight(30);
    row->addWidget(timelineStack_, 1);

    durationLabel_ = timeLabel();
    durationLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row->addWidget(durationLabel_);
    row->addWidget(new Divider(Qt::Vertical));
    muteButton_ = symbolButton(QStringLiteral("speaker.wave.3.fill"), QStringLiteral("Mute"));
    connect(muteButton_, &QToolButton::clicked, this, [this] { time_.setMuted(!time_.isMuted()); });
    row->addWidget(muteButton_);
    volumeSlider_ = new QSlider(Qt::Horizontal);
    volumeSlider_->setRange(0, kVolumeSteps);
    volumeSlider_->setFixedWidth(kVolumeWidth);
    volumeSlider_->setAccessibleName(QStringLiteral("Volume"));
    connect(volumeSlider_, &QSlider::valueChanged, this,
            [this](int value) { time_.setVolume(static_cast<float>(value) / kVolumeSteps); });
    row->addWidget(volumeSlider_);
    row->addWidget(new Divider(Qt::Vertical));
    trimButton_ = symbolButton(QStringLiteral("scissors"), QStringLiteral("Trim"));
    trimButton_->setCheckable(true);
    connect(trimButton_, &QToolButton::toggled, this, &TransportBar::setTrimMode);
    row->addWidget(trimButton_);

    connect(scrubber_, &TimelineScrubber::scrubStarted, this, [this] { time_.beginScrubbing(); });
    connect(scrubber_, &TimelineScrubber::scrubbed, this, [this](double t) { time_.seek(t); });
    connect(scrubber_, &TimelineScrubber::scrubEnded, this, [this] { time_.endScrubbing(); });
    markers_->onTap = [this](double t) { time_.seek(t); };
    trimSlider_->onStartDragged = [this](double t) {
        document_.setTrimStart(trimStartForDrag(t, document_.trimRange().second));
    };
    trimSlider_->onEndDragged = [this](double t) {
        document_.setTrimEnd(
            trimEndForDrag(t, document_.trimRange().first, document_.duration().seconds()));
    };

    connect(&time_, &PlayerTimeModel::currentChanged, this, &TransportBar::showTime);
    connect(&time_, &PlayerTimeModel::durationChanged, this, &TransportBar::showDuration);
    connect(&time_, &PlayerTimeModel::isPlayingChanged, this, &TransportBar::showPlaying);
    connect(&time_, &PlayerTimeModel::volumeChanged, this, &TransportBar::showVolume);
    connect(&time_, &PlayerTimeModel::isMutedChanged, this, &TransportBar::showVolume);
    connect(&document_, &ProjectDocument::trimChanged, this, &TransportBar::showTrim);
    connect(&document_, &ProjectDocument::isLoadedChanged, this, [this] {
        showClicks();
        showDuration();
        showTrim();
    });
    showPlaying();
    showTime();
    showDuration();
    showVolume();
    showTrim();
    showTrimButton();
    showClicks();
}

void TransportBar::togglePlay() {
    time_.togglePlay(document_.trimRange());
}

void TransportBar::setZoomLane(ZoomLane* lane) {
    timelineColumn_->addWidget(lane);
    timelineStack_->setFixedHeight(timelineStack_->minimumHeight() + 1 + lane->sizeHint().height());
}

void TransportBar::setTrimMode(bool on) {
    trimMode_ = on;
    if (trimButton_->isChecked() != on) {
        trimButton_->setChecked(on);
    }
    timelineStack_->setCurrentIndex(on ? 1 : 0);
    showTrimButton();
}

void TransportBar::showPlaying() {
    const bool playing = time_.isPlaying();
    playButton_->setIcon(
        symbolIcon(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill")));
    const QString help = playing ? QStringLiteral("Pause") : QStringLiteral("Play");
    playButton_->setToolTip(help);
    playButton_->setAccessibleName(help);
}

void TransportBar::showTime() {
    currentLabel_->setText(QString::fromStdString(formatPlaybackTime(time_.current())));
    scrubber_->setValue(time_.current());
}

void TransportBar::showDuration() {
    const double duration =
        document_.isLoaded() ? document_.duration().seconds() : time_.duration();
    durationLabel_->setText(QString::fromStdString(formatPlaybackTime(duration)));
    scrubber_->setMaximum(duration);
    markers_->setMaximum(duration);
    trimSlider_->setDuration(duration);
}

void TransportBar::showVolume() {
    muteButton_->setIcon(
        symbolIcon(QString::fromLatin1(volumeSymbolName(time_.volume(), time_.isMuted()))));
    const QString help = QString::fromLatin1(muteHelpText(time_.isMuted()));
    muteButton_->setToolTip(help);
    muteButton_->setAccessibleName(help);
    const int steps = qRound(time_.volume() * kVolumeSteps);
    if (volumeSlider_->value() != steps) {
        const QSignalBlocker block(volumeSlider_);
        volumeSlider_->setValue(steps);
    }
}

void TransportBar::showTrim() {
    const auto [start, end] = document_.trimRange();
    trimSlider_->setRange(start, end);
}

void TransportBar::showTrimButton() {
    // Accent-coloured while trim mode is on.
    trimButton_->setIcon(
        trimMode_ ? symbolIcon(QStringLiteral("scissors"), themeAccent(ApplicationTheme::current()))
                  : symbolIcon(QStringLiteral("scissors")));
}

void TransportBar::showClicks() {
    markers_->setTimes(document_.clickTimes());
}

void TransportBar::changeEvent(QEvent* event) {
    ThemedBar::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        showTrimButton();
    }
}

}  // namespace zarvex
