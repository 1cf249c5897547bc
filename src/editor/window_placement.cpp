#include "editor/window_placement.h"

#include <algorithm>

namespace zarvex {

QPoint centredOnPointerScreen(QSize size, QPoint pointer, const std::vector<ScreenArea>& screens) {
    const auto under = std::find_if(screens.begin(), screens.end(), [&](const ScreenArea& screen) {
        return screen.geometry.contains(pointer);
    });
    const QRect area = (under != screens.end() ? *under : screens.front()).available;
    return {area.left() + std::max(0, (area.width() - size.width()) / 2),
            area.top() + std::max(0, (area.height() - size.height()) / 2)};
}

}  // namespace zarvex
