#include "render/qt_task_scheduler.h"

#include <QTimer>

namespace zarvex {
namespace {

class QtScheduledTask : public ScheduledTask {
  public:
    QtScheduledTask(std::chrono::milliseconds delay, bool repeating, std::function<void()> action)
        : timer_(new QTimer) {
        timer_->setSingleShot(!repeating);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, timer_, std::move(action));
        timer_->start(delay);
    }

    // The action may destroy its own task: the timer goes later, not from
    // inside its own signal.
    ~QtScheduledTask() override {
        timer_->stop();
        timer_->deleteLater();
    }

  private:
    QTimer* timer_;
};

}  // namespace

std::unique_ptr<ScheduledTask> QtTaskScheduler::schedule(std::chrono::milliseconds delay,
                                                         std::function<void()> action) {
    return std::make_unique<QtScheduledTask>(delay, false, std::move(action));
}

std::unique_ptr<ScheduledTask> QtTaskScheduler::scheduleRepeating(
    std::chrono::milliseconds interval, std::function<void()> action) {
    return std::make_unique<QtScheduledTask>(interval, true, std::move(action));
}

}  // namespace zarvex
