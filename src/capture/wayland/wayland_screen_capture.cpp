#include <cmath>

#include "capture/wayland/pipewire_stream.h"
#include "capture/wayland/wayland_backend.h"

namespace zarvex {
namespace {

// The cast stream that shows the filter's content: for a display the one at
// its position and size (logical pixels are points), or the only one when the
// desktop does not say where its streams lie; for a window the first.
const CastStream* streamFor(const std::vector<CastStream>& streams, const ContentFilter& filter) {
    if (filter.kind == ContentFilter::Kind::window) {
        return streams.empty() ? nullptr : &streams.front();
    }
    const Rect& want = filter.contentRect;
    for (const auto& stream : streams) {
        if (!stream.frame) {
            if (streams.size() == 1) {
                return &stream;
            }
            continue;
        }
        const PixelRect& at = *stream.frame;
        if (std::abs(at.x - want.x) < 1 && std::abs(at.y - want.y) < 1 &&
            std::abs(at.width - want.width) < 1 && std::abs(at.height - want.height) < 1) {
            return &stream;
        }
    }
    return nullptr;
}

class WaylandScreenCapture final : public ScreenCaptureService {
  public:
    explicit WaylandScreenCapture(const WaylandOptions& options) : options_(options) {}

    std::unique_ptr<ScreenStream> startCapture(const ContentFilter& filter,
                                               const StreamConfiguration& configuration,
                                               ScreenStreamOutput& output) override {
        if (filter.kind == ContentFilter::Kind::window && options_.pickedWindows) {
            if (std::unique_ptr<ScreenCast> cast = options_.pickedWindows->take(filter.windowID)) {
                if (cast->streams().empty()) {
                    throw ScreenCaptureError("The desktop shared no screen stream.");
                }
                const std::uint32_t node = cast->streams().front().nodeID;
                const int fd = cast->openPipeWireRemote();
                return startPipeWireStream(std::move(cast), fd, node, filter, configuration, output,
                                           *options_.clock);
            }
        }
        const auto portal = ScreenCastPortal::connect();
        const CastSourceType type = filter.kind == ContentFilter::Kind::display
                                        ? CastSourceType::monitor
                                        : CastSourceType::window;
        const RestoreTokenStore& tokens = options_.tokens;
        std::string token = tokens.load ? tokens.load(type) : std::string();
        while (true) {
            std::unique_ptr<ScreenCast> cast =
                portal->start({type, configuration.showsCursor, token});
            const CastStream* stream = streamFor(cast->streams(), filter);
            if (stream == nullptr && !token.empty()) {
                // The kept choice is another display: forget it and ask.
                token.clear();
                continue;
            }
            if (stream == nullptr) {
                throw ScreenCaptureError(
                    "The desktop shared another display. Choose the display you are recording "
                    "in your desktop's dialog.");
            }
            if (tokens.save && cast->restoreToken() != token) {
                tokens.save(type, cast->restoreToken());
            }
            const std::uint32_t node = stream->nodeID;
            const int fd = cast->openPipeWireRemote();
            return startPipeWireStream(std::move(cast), fd, node, filter, configuration, output,
                                       *options_.clock);
        }
    }

  private:
    WaylandOptions options_;
};

}  // namespace

std::unique_ptr<ScreenCaptureService> makeWaylandScreenCapture(const WaylandOptions& options) {
    return std::make_unique<WaylandScreenCapture>(options);
}

}  // namespace zarvex
