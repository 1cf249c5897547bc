#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace zarvex {

// A screen as window placement sees it: all of it, and the part windows may
// use (without panels and docks).
struct ScreenArea {
    QRect geometry;
    QRect available;
};

// The top-left corner of a new window of `size`: centred in the available
// area of the screen under `pointer`, or of the first screen (the primary)
// when the pointer is on none; a window larger than that area starts at its
// top-left. `screens` must not be empty.
QPoint centredOnPointerScreen(QSize size, QPoint pointer, const std::vector<ScreenArea>& screens);

}  // namespace zarvex
