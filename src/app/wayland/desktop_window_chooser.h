#pragma once

#include <memory>
#include <optional>

#include "capture/serial_queue.h"
#include "capture/wayland/picked_windows.h"
#include "flow/flow_ports.h"

namespace zarvex {

// The desktop's screen-cast chooser as the selection's window chooser: a
// pick starts a window cast (the dialog shows meanwhile, on a thread of its
// own so the main thread never waits) and keeps it in `picked` for the
// recording to take over. The cast's token is not sent (the user asked to
// choose), and the one the desktop gives back is kept for a later
// `zarvex record --window`. Main thread.
class DesktopWindowChooser final : public WindowChooser {
  public:
    DesktopWindowChooser(std::shared_ptr<PickedWindows> picked,
                         std::function<void(const std::string& token)> keepToken);
    ~DesktopWindowChooser() override;

    bool offersWindows() override;
    QCoro::Task<std::optional<WindowPick>> choose(bool showsCursor) override;
    void keepOnly(std::optional<WindowID> kept) override;

  private:
    std::shared_ptr<PickedWindows> picked_;
    std::function<void(const std::string&)> keepToken_;
    std::optional<bool> offered_;
    SerialQueue queue_{"window-chooser"};
};

}  // namespace zarvex
