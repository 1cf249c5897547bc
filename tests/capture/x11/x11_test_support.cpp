#include "x11_test_support.h"

#include <cstring>
#include <thread>

#include "media/named_thread.h"

namespace zarvex::testing {

void FrameCollector::didOutputFrame(const ScreenFrame& frame) {
    std::lock_guard lock(mutex_);
    threadNames_.insert(currentThreadName());
    records_.push_back({frame.status, frame.time, frame.image.width, frame.image.height});
    if (frame.status == FrameStatus::complete) {
        ++complete_;
        latest_ = frame.image;
    }
    changed_.notify_all();
}

void FrameCollector::didStopWithError(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        error_ = e.what();
    } catch (...) {
        error_ = "unknown error";
    }
    changed_.notify_all();
}

std::vector<FrameCollector::Record> FrameCollector::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::size_t FrameCollector::completeCount() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

std::uint32_t FrameCollector::pixel(int x, int y) const {
    std::lock_guard lock(mutex_);
    if (latest_.empty() || x < 0 || y < 0 || x >= latest_.width || y >= latest_.height) {
        return 0;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, latest_.row(0, y) + x * 4, 4);
    return value;
}

std::set<std::string> FrameCollector::threadNames() const {
    std::lock_guard lock(mutex_);
    return threadNames_;
}

std::string FrameCollector::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool FrameCollector::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return complete_ >= count; });
}

bool FrameCollector::waitForMoreFrames(std::size_t count, std::chrono::milliseconds timeout) {
    return waitForFrames(completeCount() + count, timeout);
}

}  // namespace zarvex::testing
