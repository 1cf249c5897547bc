#include "editor_fixture.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include "editor/editor_view.h"
#include "editor/frame_view.h"
#include "editor/player_view.h"
#include "media_fixtures.h"
#include "render/project_document.h"
#include "ui/application_theme.h"

namespace zarvex::testing {

std::filesystem::path writeEditorRecording(const std::filesystem::path& folder,
                                           const EditorRecording& recording) {
    RecordingFolderOptions options;
    options.screen.width = recording.width;
    options.screen.height = recording.height;
    options.screen.frameCount = recording.frames;
    if (recording.webcam) {
        options.webcamStartSeconds = 0;
    }
    if (recording.clicks) {
        options.clicks = {{0.5, 0.25, 0.5}, {1.25, 0.75, 0.25}};
    }
    writeRecordingFolder(folder, options);
    return folder;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, widget->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget* widget, QPointF from, QPointF to) {
    sendMouse(widget, QEvent::MouseButtonPress, from.toPoint());
    sendMouse(widget, QEvent::MouseMove, to.toPoint());
    sendMouse(widget, QEvent::MouseButtonRelease, to.toPoint(), Qt::NoButton);
}

EditorTest::EditorTest()
    : presets(dir / "data"),
      windows({presets, [this](const std::filesystem::path& p) { revealed.push_back(p); }}) {}

EditorTest::~EditorTest() {
    ThemeManager::shared().apply(Theme::studio().id);
}

EditorWindow& EditorTest::openLoaded(const std::filesystem::path& folder) {
    const std::optional<std::string> error = windows.open(folder);
    EXPECT_FALSE(error) << *error;
    EditorWindow* window = windows.windowFor(folder);
    EXPECT_NE(window, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window, 10000));
    EXPECT_TRUE(waitUntil([&] {
        return window->document().isLoaded() &&
               !window->editorView()->playerView()->frameView()->picture().empty();
    })) << window->document().errorMessage().value_or("");
    return *window;
}

void EditorTest::waitUntilSaved(ProjectDocument& document) {
    EXPECT_TRUE(waitUntil([&] { return !document.hasPendingSave(); }));
}

}  // namespace zarvex::testing
