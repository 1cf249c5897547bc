#include <mutex>

#include "capture/x11/x11_backend.h"
#include "capture/x11/x11_connection.h"
#include "capture/x11/x11_desktop.h"

namespace zarvex {
namespace {

using namespace x11;

class X11ShareableContent final : public ShareableContentSource {
  public:
    explicit X11ShareableContent(const X11Options& options)
        : connection_(options.displayName), scale_(options.scaleForOutput) {}

    ShareableContent content() override {
        std::lock_guard lock(mutex_);
        connection_.requireAlive();
        const std::vector<MonitorGeometry> monitors = readMonitors(connection_, scale_);
        ShareableContent content;
        for (const auto& monitor : monitors) {
            content.displays.push_back(ShareableDisplay{
                monitor.id, monitor.name, monitor.pointFrame(), monitor.scale, monitor.primary});
        }
        for (auto& window : readClientWindows(connection_)) {
            content.windows.push_back(ShareableWindow{
                window.id, window.processID, std::move(window.title),
                std::move(window.applicationName), pointRectFromPixels(monitors, window.frame),
                window.layer, window.alpha});
        }
        connection_.requireAlive();
        return content;
    }

    std::optional<Rect> windowFrame(WindowID id) override {
        std::lock_guard lock(mutex_);
        connection_.requireAlive();
        const std::optional<PixelRect> frame = windowPixelFrame(connection_, id);
        connection_.requireAlive();
        if (!frame) {
            return std::nullopt;
        }
        return pointRectFromPixels(readMonitors(connection_, scale_), *frame);
    }

  private:
    std::mutex mutex_;
    X11Connection connection_;
    ScaleForOutput scale_;
};

}  // namespace

std::unique_ptr<ShareableContentSource> makeX11ShareableContent(const X11Options& options) {
    return std::make_unique<X11ShareableContent>(options);
}

}  // namespace zarvex
