#pragma once

#include <QEvent>
#include <QPoint>

#include <filesystem>
#include <vector>

#include "editor/editor_windows.h"
#include "gui/gui_environment.h"
#include "model/preset_store.h"
#include "temp_dir.h"

namespace zarvex::testing {

struct EditorRecording {
    int width = 320;
    int height = 240;
    int frames = 120;  // at 60 frames per second
    bool webcam = true;
    bool clicks = true;  // at 0.5 s and 1.25 s
};

// A recording folder as `zarvex record` leaves it, from the media fixtures.
std::filesystem::path writeEditorRecording(const std::filesystem::path& folder,
                                           const EditorRecording& recording = {});

// Sends a left-button mouse event straight to `widget` (press, move with
// `buttons` held, release), so a drag beyond the window arrives as it does
// with the button held down.
void sendMouse(QWidget* widget, QEvent::Type type, QPoint at,
               Qt::MouseButtons buttons = Qt::LeftButton);
// Presses at `from`, moves to `to` with the button held and releases there.
void drag(QWidget* widget, QPointF from, QPointF to);

// Editor windows over a private preset store, with the file manager replaced
// by a list of what it was asked to show.
class EditorTest : public GuiTest {
  protected:
    EditorTest();
    ~EditorTest() override;

    // Opens `folder` and waits until it is loaded and its first picture shows.
    EditorWindow& openLoaded(const std::filesystem::path& folder);
    // Waits until the document has written every save.
    static void waitUntilSaved(ProjectDocument& document);

    TempDir dir;
    PresetStore presets;
    std::vector<std::filesystem::path> revealed;
    EditorWindows windows;
};

}  // namespace zarvex::testing
