#include "editor/player_time_model.h"

#include <algorithm>
#include <cmath>

#include "editor/transport_rules.h"

namespace zarvex {

PlayerTimeModel::PlayerTimeModel(Player& player, QObject* parent)
    : QObject(parent), player_(player) {
    volume_ = player_.volume();
    player_.setVolume(volume_);
    isMuted_ = player_.isMuted();
    player_.setMuted(isMuted_);
    isPlaying_ = player_.rate() != 0;
    // The player calls back on the main thread and forgets the observers when
    // the model removes them, so the model's lifetime bounds theirs.
    timeObserver_ = player_.addPeriodicTimeObserver(MediaTime{1, 30},
                                                    [this](MediaTime time) { timeObserved(time); });
    rateObserver_ = player_.addRateObserver([this](double rate) {
        const bool playing = rate != 0;
        if (playing != isPlaying_) {
            isPlaying_ = playing;
            emit isPlayingChanged(playing);
        }
    });
}

PlayerTimeModel::~PlayerTimeModel() {
    player_.removeTimeObserver(timeObserver_);
    player_.removeRateObserver(rateObserver_);
}

void PlayerTimeModel::timeObserved(MediaTime time) {
    if (!isScrubbing_) {
        setCurrent(time.seconds());
    }
    if (const PlayerItem* item = player_.currentItem(); item != nullptr && item->asset) {
        const double seconds = item->asset->duration().seconds();
        if (std::isfinite(seconds) && seconds != duration_) {
            duration_ = seconds;
            emit durationChanged(seconds);
        }
    }
}

void PlayerTimeModel::setCurrent(double seconds) {
    if (seconds != current_) {
        current_ = seconds;
        emit currentChanged(seconds);
    }
}

void PlayerTimeModel::seek(double seconds) {
    setCurrent(seconds);
    player_.seek(MediaTime::fromSeconds(seconds));
}

void PlayerTimeModel::togglePlay(std::pair<double, double> trimRange) {
    if (player_.rate() != 0) {
        player_.setRate(0);
        return;
    }
    if (const std::optional<double> start =
            playStartSeek(player_.currentTime().seconds(), trimRange)) {
        player_.seek(MediaTime::fromSeconds(*start));
    }
    player_.setRate(1);
}

void PlayerTimeModel::setVolume(float volume) {
    volume = std::clamp(volume, 0.0f, 1.0f);
    player_.setVolume(volume);
    if (volume != volume_) {
        volume_ = volume;
        emit volumeChanged(volume);
    }
}

void PlayerTimeModel::setMuted(bool muted) {
    player_.setMuted(muted);
    if (muted != isMuted_) {
        isMuted_ = muted;
        emit isMutedChanged(muted);
    }
}

void PlayerTimeModel::beginScrubbing() {
    isScrubbing_ = true;
}

void PlayerTimeModel::endScrubbing() {
    isScrubbing_ = false;
}

}  // namespace zarvex
