#pragma once

// Awaitables that let main-thread coroutines (QCoro tasks) wait for work done
// elsewhere without blocking the event loop. The awaiting coroutine always
// resumes on the main thread, in a later turn of its event loop.

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <chrono>

#include <coroutine>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "capture/serial_queue.h"

namespace zarvex {

// Resumes `coroutine` on the main thread's event loop.
inline void resumeOnMainThread(std::coroutine_handle<> coroutine) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [coroutine] { coroutine.resume(); }, Qt::QueuedConnection);
}

// `co_await sleepFor(duration)`: resumes after `duration` on a precise timer,
// which never fires early (a coarse one may, by up to 5 %).
inline auto sleepFor(std::chrono::milliseconds duration) {
    struct Sleep {
        std::chrono::milliseconds duration;
        bool await_ready() const noexcept { return duration.count() <= 0; }
        void await_suspend(std::coroutine_handle<> coroutine) const {
            QTimer::singleShot(duration, Qt::PreciseTimer, QCoreApplication::instance(),
                               [coroutine] { coroutine.resume(); });
        }
        void await_resume() const noexcept {}
    };
    return Sleep{duration};
}

// `co_await onQueue(queue, job)`: runs `job` on `queue` and hands back its
// result, or throws what it threw.
template <typename Job>
class QueueJob {
  public:
    using Result = std::invoke_result_t<Job&>;

    QueueJob(SerialQueue& queue, Job job) : queue_(queue), job_(std::move(job)) {}

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> coroutine) {
        queue_.post([this, coroutine] {
            try {
                if constexpr (std::is_void_v<Result>) {
                    job_();
                } else {
                    result_.emplace(job_());
                }
            } catch (...) {
                error_ = std::current_exception();
            }
            resumeOnMainThread(coroutine);
        });
    }

    Result await_resume() {
        if (error_) {
            std::rethrow_exception(error_);
        }
        if constexpr (!std::is_void_v<Result>) {
            return std::move(*result_);
        }
    }

  private:
    struct Nothing {};
    SerialQueue& queue_;
    Job job_;
    std::conditional_t<std::is_void_v<Result>, Nothing, std::optional<Result>> result_;
    std::exception_ptr error_;
};

// The job is a temporary of the co_await expression, and GCC 12 destroys such
// temporaries twice when they own anything: capture by reference what the
// coroutine keeps in its frame anyway.
template <typename Job>
QueueJob<Job> onQueue(SerialQueue& queue, Job job) {
    static_assert(std::is_trivially_destructible_v<Job>,
                  "capture by reference: the coroutine frame outlives the job");
    return QueueJob<Job>(queue, std::move(job));
}

// A value handed over once from the main thread to one coroutine that awaits
// it: `co_await completion.wait()` suspends until complete() is called (or
// returns at once when it was). The coroutine resumes in a later turn of the
// event loop, never inside complete(), so whoever completes it can finish
// what it is doing (closing the windows an event came from) first.
template <typename T>
class Completion {
  public:
    Completion() = default;
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    // True when this call completed it; later calls change nothing.
    bool complete(T value) {
        if (value_) {
            return false;
        }
        value_.emplace(std::move(value));
        if (waiting_) {
            resumeOnMainThread(std::exchange(waiting_, nullptr));
        }
        return true;
    }

    // The awaiter refers to this completion, which must outlive the wait.
    auto wait() {
        struct Awaiter {
            Completion* completion;
            bool await_ready() const noexcept { return completion->value_.has_value(); }
            void await_suspend(std::coroutine_handle<> coroutine) {
                completion->waiting_ = coroutine;
            }
            T await_resume() { return std::move(*completion->value_); }
        };
        return Awaiter{this};
    }

  private:
    std::optional<T> value_;
    std::coroutine_handle<> waiting_;
};

}  // namespace zarvex
