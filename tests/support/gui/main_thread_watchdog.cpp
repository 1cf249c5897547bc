#include "gui/main_thread_watchdog.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include <sys/types.h>
#include <unistd.h>

namespace zarvex::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProbeInterval = std::chrono::milliseconds(5);
constexpr auto kStateInterval = std::chrono::milliseconds(1);

// Nanoseconds the thread has run on a processor.
std::int64_t cpuTimeNs(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/schedstat");
    std::int64_t running = 0;
    stat >> running;
    return running;
}

// Whether the thread sleeps (in a lock, a wait, a read or a write) rather
// than running or waiting for a processor.
bool isBlocked(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos || end + 2 >= line.size()) {
        return false;
    }
    const char state = line[end + 2];
    return state == 'S' || state == 'D';
}

}  // namespace

// Shared with the probes in flight, which may outlive the watchdog.
struct MainThreadWatchdog::State {
    pid_t mainThread = ::gettid();
    std::atomic<bool> stopping{false};
    std::atomic<int> probes{0};
    std::atomic<std::int64_t> longestNs{0};
    std::mutex mutex;
    std::condition_variable handled;
    bool waiting = false;
    std::int64_t cpuAtHandling = 0;
};

MainThreadWatchdog::MainThreadWatchdog() : state_(std::make_shared<State>()) {
    probe_ = std::thread([state = state_] {
        while (!state->stopping) {
            std::this_thread::sleep_for(kProbeInterval);
            const std::int64_t cpuBefore = cpuTimeNs(state->mainThread);
            {
                std::lock_guard lock(state->mutex);
                state->waiting = true;
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [state] {
                    const std::int64_t cpu = cpuTimeNs(state->mainThread);
                    std::lock_guard lock(state->mutex);
                    state->cpuAtHandling = cpu;
                    state->waiting = false;
                    state->handled.notify_all();
                },
                Qt::QueuedConnection);
            // While the probe waits, add up the time the main thread sleeps.
            std::int64_t blockedNs = 0;
            auto sampled = Clock::now();
            std::unique_lock lock(state->mutex);
            while (!state->handled.wait_for(lock, kStateInterval,
                                            [&] { return !state->waiting || state->stopping; })) {
                lock.unlock();
                const bool blocked = isBlocked(state->mainThread);
                const auto now = Clock::now();
                if (blocked) {
                    blockedNs +=
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now - sampled).count();
                }
                sampled = now;
                lock.lock();
            }
            if (state->stopping) {
                break;
            }
            const std::int64_t stall = state->cpuAtHandling - cpuBefore + blockedNs;
            if (stall > state->longestNs.load()) {
                state->longestNs = stall;
            }
            ++state->probes;
        }
    });
}

MainThreadWatchdog::~MainThreadWatchdog() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->handled.notify_all();
    probe_.join();
}

std::chrono::milliseconds MainThreadWatchdog::longestStall() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::nanoseconds(state_->longestNs.load()));
}

int MainThreadWatchdog::probes() const {
    return state_->probes.load();
}

void MainThreadWatchdog::reset() {
    state_->longestNs = 0;
    state_->probes = 0;
}

}  // namespace zarvex::testing
