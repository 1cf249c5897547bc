#include "flow/selection_model.h"

namespace zarvex {

SelectionModel::SelectionModel(Selection initial, WindowList windows, std::uint32_t ownProcessID,
                               QObject* parent)
    : QObject(parent),
      selection_(std::move(initial)),
      windows_(std::move(windows)),
      ownProcessID_(ownProcessID) {}

void SelectionModel::update(const std::function<void(Selection&)>& edit) {
    Selection next = selection_;
    edit(next);
    if (next == selection_) {
        return;
    }
    const bool cameraChanged = next.cameraEnabled != selection_.cameraEnabled;
    selection_ = std::move(next);
    emit changed();
    if (cameraChanged) {
        emit cameraEnabledChanged(selection_.cameraEnabled);
    }
}

void SelectionModel::setMode(CaptureMode mode) {
    if (mode == CaptureMode::window && desktopChooses_ && !windowsOffered_) {
        return;
    }
    const bool toWindow = mode == CaptureMode::window && selection_.mode != mode;
    update([mode](Selection& s) { s.mode = mode; });
    if (toWindow && desktopChooses_ && !selection_.windowPick) {
        emit windowChoiceWanted();
    }
}

void SelectionModel::setMicEnabled(bool on) {
    update([on](Selection& s) { s.micEnabled = on; });
}

void SelectionModel::setSystemAudioEnabled(bool on) {
    update([on](Selection& s) { s.systemAudioEnabled = on; });
}

void SelectionModel::setCameraEnabled(bool on) {
    update([on](Selection& s) { s.cameraEnabled = on; });
}

void SelectionModel::setCursorEnabled(bool on) {
    update([on](Selection& s) { s.cursorEnabled = on; });
}

void SelectionModel::setSelectedDisplayID(std::optional<DisplayID> id) {
    update([id](Selection& s) { s.selectedDisplayID = id; });
}

std::optional<WindowPick> SelectionModel::windowAt(Point pointer) const {
    return windowUnderPointer(windows_ ? windows_() : std::vector<ShareableWindow>{}, pointer,
                              ownProcessID_);
}

void SelectionModel::setWindowPick(std::optional<WindowPick> pick) {
    update([&pick](Selection& s) { s.windowPick = pick; });
}

void SelectionModel::chooseWindowsOnDesktop(bool offered) {
    desktopChooses_ = true;
    windowsOffered_ = offered;
    emit changed();
}

void SelectionModel::press(const ShareableDisplay& display, Point point, Point pointer) {
    switch (selection_.mode) {
        case CaptureMode::screen:
            setSelectedDisplayID(display.id);
            break;
        case CaptureMode::window: {
            if (desktopChooses_) {
                emit windowChoiceWanted();
                break;
            }
            const auto pick = selection_.hoverWindow ? selection_.hoverWindow : windowAt(pointer);
            update([&pick](Selection& s) { s.windowPick = pick; });
            break;
        }
        case CaptureMode::region:
            dragStart_ = point;
            dragDisplay_ = display.id;
            update([](Selection& s) { s.region.reset(); });
            break;
    }
}

void SelectionModel::drag(const ShareableDisplay& display, Point point) {
    if (selection_.mode != CaptureMode::region || !dragStart_ || display.id != dragDisplay_) {
        return;
    }
    const Rect spanned = dragRectangle(*dragStart_, point, display.frame.size());
    const auto region = regionPick(spanned, display.id);
    update([&region](Selection& s) { s.region = region; });
}

void SelectionModel::release() {
    if (selection_.mode != CaptureMode::region || !dragStart_) {
        return;
    }
    dragStart_.reset();
    update([](Selection& s) { s.region = regionKeptOnRelease(s.region); });
}

void SelectionModel::hover(Point pointer) {
    if (selection_.mode != CaptureMode::window) {
        return;
    }
    const auto hovered = windowAt(pointer);
    update([&hovered](Selection& s) { s.hoverWindow = hovered; });
}

}  // namespace zarvex
