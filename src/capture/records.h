#pragma once

#include <cstdint>
#include <variant>

#include "model/enum_table.h"
#include "model/geometry.h"

namespace zarvex {

enum class CaptureMode { screen, window, region };

template <>
struct EnumTable<CaptureMode> {
    static constexpr std::array<EnumCase<CaptureMode>, 3> cases{{
        {CaptureMode::screen, "Screen"},
        {CaptureMode::window, "Window"},
        {CaptureMode::region, "Region"},
    }};
};

using DisplayID = std::uint32_t;
using WindowID = std::uint32_t;

struct DisplayTarget {
    DisplayID displayID = 0;
    bool operator==(const DisplayTarget&) const = default;
};

struct WindowTarget {
    WindowID windowID = 0;
    bool operator==(const WindowTarget&) const = default;
};

// A rectangle on one display in points, relative to the display's top-left
// corner, y down, every component a whole number.
struct RegionTarget {
    DisplayID displayID = 0;
    Rect rect;
    bool operator==(const RegionTarget&) const = default;
};

// What to record.
using CaptureTarget = std::variant<DisplayTarget, WindowTarget, RegionTarget>;

// The outcome of a selection: what to record and with which sources.
struct SelectionResult {
    CaptureTarget target;
    bool micEnabled = false;
    bool systemAudioEnabled = false;
    bool cameraEnabled = false;
    bool cursorEnabled = false;
    bool operator==(const SelectionResult&) const = default;
};

}  // namespace zarvex
