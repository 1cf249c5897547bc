#pragma once

#include <QObject>

#include <utility>

#include "render/player.h"

namespace zarvex {

// What the transport shows of a player: the playhead, the duration, whether
// it plays, volume and mute. One per editor window; the player belongs to the
// document and must outlive the model. Main thread only.
class PlayerTimeModel : public QObject {
    Q_OBJECT
  public:
    // Takes the player's volume and mute flag (writing them back), samples the
    // playhead 30 times a second and follows the player's rate.
    explicit PlayerTimeModel(Player& player, QObject* parent = nullptr);
    ~PlayerTimeModel() override;

    double current() const { return current_; }
    double duration() const { return duration_; }
    bool isPlaying() const { return isPlaying_; }
    float volume() const { return volume_; }
    bool isMuted() const { return isMuted_; }
    bool isScrubbing() const { return isScrubbing_; }

    // Shows `seconds` at once and moves the player there exactly.
    void seek(double seconds);
    // Pauses while playing; otherwise plays inside `trimRange`, from its start
    // when the playhead is before it or at its end.
    void togglePlay(std::pair<double, double> trimRange);
    void setVolume(float volume);
    void setMuted(bool muted);
    // While scrubbing, the player's time does not move the playhead shown.
    void beginScrubbing();
    void endScrubbing();

  signals:
    void currentChanged(double seconds);
    void durationChanged(double seconds);
    void isPlayingChanged(bool playing);
    void volumeChanged(float volume);
    void isMutedChanged(bool muted);

  private:
    void setCurrent(double seconds);
    void timeObserved(MediaTime time);

    Player& player_;
    double current_ = 0;
    double duration_ = 0;
    bool isPlaying_ = false;
    float volume_ = 1;
    bool isMuted_ = false;
    bool isScrubbing_ = false;
    Player::ObserverID timeObserver_ = 0;
    Player::ObserverID rateObserver_ = 0;
};

}  // namespace zarvex
