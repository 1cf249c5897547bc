#pragma once

#include <QApplication>
#include <QWidget>

#include <vector>

namespace zarvex::testing {

// The visible top-level windows of one class (it needs Q_OBJECT).
template <typename Window>
std::vector<Window*> visibleWindows() {
    std::vector<Window*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible()) {
            windows.push_back(window);
        }
    }
    return windows;
}

}  // namespace zarvex::testing
