#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "capture/screen_capture.h"
#include "process.h"

namespace zarvex::testing {

// Collects what a stream delivers (thread-safe): every frame's status, stamp
// and size, and the latest complete frame's pixels.
class FrameCollector : public ScreenStreamOutput {
  public:
    struct Record {
        FrameStatus status;
        HostTime time;
        int width;
        int height;
    };

    void didOutputFrame(const ScreenFrame& frame) override;
    void didStopWithError(std::exception_ptr error) override;

    std::vector<Record> records() const;
    std::size_t completeCount() const;
    // The latest complete frame's pixel as 0xAARRGGBB; 0 before any.
    std::uint32_t pixel(int x, int y) const;
    // The names of the threads the output was called on.
    std::set<std::string> threadNames() const;
    // The error the stream stopped with; empty while there is none.
    std::string error() const;

    // Waits until `count` complete frames have arrived in all.
    bool waitForFrames(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits for `count` more complete frames than there are now.
    bool waitForMoreFrames(std::size_t count = 1,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20));

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Record> records_;
    std::size_t complete_ = 0;
    VideoFrame latest_;
    std::string error_;
    std::set<std::string> threadNames_;
};

}  // namespace zarvex::testing
