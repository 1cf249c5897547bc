#include "editor/timeline.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "editor/chrome.h"
#include "editor/transport_rules.h"
#include "ui/application_theme.h"

namespace zarvex {
namespace {

constexpr double kTrackHeight = 4;
constexpr double kHandleDiameter = 13;
constexpr int kScrubberHeight = 20;
constexpr int kMarkerHeight = 8;
constexpr double kMarkerWidth = 2;
constexpr double kMarkerOpacity = 0.55;

double trackLength(const QWidget& widget) {
    return std::max(0.0, widget.width() - 2 * kTrackInset);
}

}  // namespace

TimelineScrubber::TimelineScrubber(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Playhead"));
}

void TimelineScrubber::setMaximum(double seconds) {
    seconds = scrubberMaximum(seconds);
    if (seconds != maximum_) {
        maximum_ = seconds;
        update();
    }
}

void TimelineScrubber::setValue(double seconds) {
    if (!dragging_ && seconds != value_) {
        value_ = seconds;
        update();
    }
}

double TimelineScrubber::positionOf(double seconds) const {
    return trackPosition(seconds, maximum_, kTrackInset, trackLength(*this));
}

double TimelineScrubber::timeAt(double x) const {
    return trackTime(x, maximum_, kTrackInset, trackLength(*this));
}

QSize TimelineScrubber::sizeHint() const {
    return {240, kScrubberHeight};
}

QSize TimelineScrubber::minimumSizeHint() const {
    return {60, kScrubberHeight};
}

void TimelineScrubber::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double y = height() / 2.0;
    const QRectF track(kTrackInset, y - kTrackHeight / 2, trackLength(*this), kTrackHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackGrooveColor(theme));
    painter.drawRoundedRect(track, kTrackHeight / 2, kTrackHeight / 2);
    const double x = positionOf(value_);
    painter.setBrush(trackFillColor(theme));
    painter.drawRoundedRect(QRectF(track.left(), track.top(), x - track.left(), kTrackHeight),
                            kTrackHeight / 2, kTrackHeight / 2);
    paintSliderHandle(painter, {x, y}, kHandleDiameter, theme);
}

void TimelineScrubber::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    emit scrubStarted();
    value_ = timeAt(event->position().x());
    update();
    emit scrubbed(value_);
}

void TimelineScrubber::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        return;
    }
    const double seconds = timeAt(event->position().x());
    if (seconds != value_) {
        value_ = seconds;
        update();
        emit scrubbed(seconds);
    }
}

void TimelineScrubber::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        emit scrubEnded();
    }
}

ClickMarkerStrip::ClickMarkerStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void ClickMarkerStrip::setTimes(std::vector<double> times) {
    times_ = std::move(times);
    update();
}

void ClickMarkerStrip::setMaximum(double seconds) {
    maximum_ = scrubberMaximum(seconds);
    update();
}

double ClickMarkerStrip::positionOf(double seconds) const {
    return trackPosition(seconds, maximum_, kTrackInset, trackLength(*this));
}

int ClickMarkerStrip::markerAt(double x) const {
    int nearest = -1;
    double best = kClickMarkerHitSlop + kMarkerWidth / 2;
    for (std::size_t i = 0; i < times_.size(); ++i) {
        const double distance = std::abs(positionOf(times_[i]) - x);
        if (distance <= best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

QSize ClickMarkerStrip::sizeHint() const {
    return {240, kMarkerHeight};
}

void ClickMarkerStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlphaF(static_cast<float>(kMarkerOpacity));
    for (double t : times_) {
        const double x = positionOf(t);
        painter.fillRect(QRectF(x - kMarkerWidth / 2, 0, kMarkerWidth, height()), ink);
    }
}

void ClickMarkerStrip::mousePressEvent(QMouseEvent* event) {
    const int index = markerAt(event->position().x());
    if (event->button() == Qt::LeftButton && index >= 0 && onTap) {
        onTap(times_[std::size_t(index)]);
        return;
    }
    QWidget::mousePressEvent(event);
}

void ClickMarkerStrip::mouseMoveEvent(QMouseEvent* event) {
    setCursor(markerAt(event->position().x()) >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

}  // namespace zarvex
