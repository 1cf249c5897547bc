#pragma once

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/screen_capture.h"
#include "capture/shareable_content.h"

namespace zarvex::testing {

// Displays and windows as the test sets them.
class FakeShareableContent : public ShareableContentSource {
  public:
    ShareableContent current;
    // Frames of windows that exist but are not on screen; on-screen windows'
    // frames come from `current`.
    std::map<WindowID, Rect> hiddenWindowFrames;
    bool unreachable = false;  // every call throws ScreenCaptureError

    ShareableContent content() override;
    std::optional<Rect> windowFrame(WindowID id) override;
};

// Streams that deliver what the test hands them, on the test's thread.
class FakeScreenCapture : public ScreenCaptureService {
  public:
    // When set, notes "screen" each time a stream is told to stop.
    std::vector<std::string>* stopLog = nullptr;

    std::unique_ptr<ScreenStream> startCapture(const ContentFilter& filter,
                                               const StreamConfiguration& configuration,
                                               ScreenStreamOutput& output) override;

    // The latest stream's start arguments; nothing before the first start.
    std::optional<ContentFilter> filter;
    std::optional<StreamConfiguration> configuration;
    int starts = 0;

    bool running() const;
    // A complete frame of the configured size, filled with `bgra`, stamped `time`.
    void deliverFrame(HostTime time, std::uint32_t bgra = 0xff000000u);
    void deliver(const ScreenFrame& frame);
    // Ends the running stream by itself with `error`.
    void stopWithError(std::exception_ptr error);

  private:
    struct State {
        ScreenStreamOutput* output = nullptr;
        bool running = false;
        std::vector<std::string>* stopLog = nullptr;
    };
    class Stream;
    std::shared_ptr<State> state_;
};

}  // namespace zarvex::testing
