#pragma once

#include "ui/themed_bar.h"

class QLabel;
class QSlider;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace zarvex {

class ClickMarkerStrip;
class PlayerTimeModel;
class ProjectDocument;
class TimelineScrubber;
class TrimRangeSlider;
class ZoomLane;

// The bar under the preview, left to right: play/pause, the playhead's time,
// the timeline (scrubber over click markers) or in trim mode the trim
// slider, the duration, mute and volume, and the trim toggle.
class TransportBar : public ThemedBar {
    Q_OBJECT
  public:
    TransportBar(ProjectDocument& document, PlayerTimeModel& time, QWidget* parent = nullptr);

    bool trimMode() const { return trimMode_; }
    void setTrimMode(bool on);
    // Plays or pauses inside the trim range.
    void togglePlay();
    // Puts the zoom lane under the click markers (the bar owns it).
    void setZoomLane(ZoomLane* lane);

    QToolButton* playButton() const { return playButton_; }
    QLabel* currentLabel() const { return currentLabel_; }
    QLabel* durationLabel() const { return durationLabel_; }
    TimelineScrubber* scrubber() const { return scrubber_; }
    ClickMarkerStrip* markers() const { return markers_; }
    TrimRangeSlider* trimSlider() const { return trimSlider_; }
    QToolButton* muteButton() const { return muteButton_; }
    QSlider* volumeSlider() const { return volumeSlider_; }
    QToolButton* trimButton() const { return trimButton_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void showPlaying();
    void showTime();
    void showDuration();
    void showVolume();
    void showTrim();
    void showTrimButton();
    void showClicks();

    ProjectDocument& document_;
    PlayerTimeModel& time_;
    bool trimMode_ = false;
    QToolButton* playButton_;
    QLabel* currentLabel_;
    QLabel* durationLabel_;
    QStackedWidget* timelineStack_;
    QVBoxLayout* timelineColumn_;
    TimelineScrubber* scrubber_;
    ClickMarkerStrip* markers_;
    TrimRangeSlider* trimSlider_;
    QToolButton* muteButton_;
    QSlider* volumeSlider_;
    QToolButton* trimButton_;
};

}  // namespace zarvex
