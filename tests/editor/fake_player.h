#pragma once

#include <map>
#include <vector>

#include "render/null_player.h"

namespace zarvex::testing {

// A player whose clock the test moves: it records seeks and calls the time
// observers when told to.
class FakePlayer : public NullPlayer {
  public:
    void seek(MediaTime time, std::function<void(bool)> completion = {}) override {
        seeks.push_back(time.seconds());
        NullPlayer::seek(time, std::move(completion));
    }
    ObserverID addPeriodicTimeObserver(MediaTime interval,
                                       std::function<void(MediaTime)> observer) override {
        observerInterval = interval;
        timeObservers_[++nextID_] = std::move(observer);
        return nextID_;
    }
    void removeTimeObserver(ObserverID id) override { timeObservers_.erase(id); }
    ObserverID addRateObserver(std::function<void(double)> observer) override {
        rateObservers_[++nextID_] = std::move(observer);
        return nextID_;
    }
    void removeRateObserver(ObserverID id) override { rateObservers_.erase(id); }

    // Moves the clock to `seconds` and tells the time observers.
    void tick(double seconds) {
        NullPlayer::seek(MediaTime::fromSeconds(seconds));
        for (auto& [id, observer] : timeObservers_) {
            observer(currentTime());
        }
    }
    std::size_t observerCount() const { return timeObservers_.size() + rateObservers_.size(); }

    std::vector<double> seeks;
    MediaTime observerInterval = MediaTime::invalid();

  private:
    int nextID_ = 0;
    std::map<ObserverID, std::function<void(MediaTime)>> timeObservers_;
    std::map<ObserverID, std::function<void(double)>> rateObservers_;
};

}  // namespace zarvex::testing
