#include "capture/shareable_content.h"

#include <algorithm>

namespace zarvex {

const ShareableDisplay* ShareableContent::display(DisplayID id) const {
    const auto found = std::find_if(displays.begin(), displays.end(),
                                    [id](const ShareableDisplay& d) { return d.id == id; });
    return found == displays.end() ? nullptr : &*found;
}

const ShareableWindow* ShareableContent::window(WindowID id) const {
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [id](const ShareableWindow& w) { return w.id == id; });
    return found == windows.end() ? nullptr : &*found;
}

}  // namespace zarvex
