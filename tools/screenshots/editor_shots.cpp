// The editor window in each state worth reviewing: loaded, playing, trim mode,
// each background tab, the save-preset popover, the export sheet's two faces,
// the error banner, a selected zoom segment, the question on closing while
// exporting, and the error face.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>

#include <functional>

#include "editor/background_section.h"
#include "editor/editor_view.h"
#include "editor/editor_windows.h"
#include "editor/export_sheet.h"
#include "editor/frame_view.h"
#include "editor/player_time_model.h"
#include "editor/player_view.h"
#include "editor/presets_menu.h"
#include "editor/style_column.h"
#include "editor/transport_bar.h"
#include "editor/zoom_editor.h"
#include "media_fixtures.h"
#include "model/preset_store.h"
#include "model/user_dirs.h"
#include "process.h"
#include "render/project_document.h"
#include "shots.h"
#include "temp_dir.h"

namespace {

using namespace zarvex;
namespace fs = std::filesystem;

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// A recording that looks like one: a colourful moving screen with sound, a
// webcam and a few clicks (the fixture's counter frames when ffmpeg fails).
fs::path showcaseRecording(const fs::path& parent) {
    const fs::path folder = parent / "Product Demo";
    testing::RecordingFolderOptions options;
    options.screen.width = 320;
    options.screen.height = 200;
    options.webcamStartSeconds = 0;
    options.clicks = {
        {0.8, 0.3, 0.4}, {1.9, 0.62, 0.55}, {2.6, 0.7, 0.3}, {3.4, 0.45, 0.7}, {4.8, 0.2, 0.25}};
    testing::writeRecordingFolder(folder, options);
    const auto lavfi = [](const std::string& source, const fs::path& out, bool sound) {
        std::vector<std::string> args{"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", source};
        if (sound) {
            args.insert(args.end(), {"-f", "lavfi", "-i", "sine=f=440:d=6"});
        }
        args.insert(args.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-g", "30"});
        if (sound) {
            args.insert(args.end(), {"-c:a", "aac"});
        }
        args.push_back(out.string());
        return testing::runProcess(args).exitCode == 0;
    };
    lavfi("testsrc2=s=1600x1000:r=30:d=6", folder / "screen.mov", true);
    lavfi("mandelbrot=s=480x480:r=30,trim=duration=6", folder / "webcam.mov", false);
    return folder;
}

class EditorScene {
  public:
    EditorScene()
        : presets_(dataHomeDirectory() / "Zarvex"), windows_({presets_, [](const fs::path&) {}}) {
        folder_ = showcaseRecording(dir_.path());
        windows_.open(folder_);
        window_ = windows_.windowFor(folder_);
        window_->move(60, 40);
        waitFor([this] {
            return document().isLoaded() && !view().playerView()->frameView()->picture().empty();
        });
        view().playerView()->time().seek(2.2);
        shots::ShotContext::settle(400);
    }

    EditorWindow& window() { return *window_; }
    EditorView& view() { return *window_->editorView(); }
    ProjectDocument& document() { return window_->document(); }
    PresetStore& presets() { return presets_; }
    const fs::path& dir() const { return dir_.path(); }

  private:
    testing::TempDir dir_;
    fs::path folder_;
    PresetStore presets_;
    EditorWindows windows_;
    EditorWindow* window_ = nullptr;
};

}  // namespace

ZARVEX_SHOT(editor) {
    EditorScene scene;
    EditorView& view = scene.view();
    shot.capture(scene.window(), "editor");

    view.transport()->togglePlay();
    waitFor([&] { return view.playerView()->time().current() > 2.8; }, 20000);
    shot.capture(scene.window(), "editor-playing");
    view.transport()->togglePlay();

    scene.document().setTrimStart(1.0);
    scene.document().setTrimEnd(4.6);
    view.transport()->setTrimMode(true);
    shot.capture(scene.window(), "editor-trim");
    view.transport()->setTrimMode(false);

    BackgroundSection* background = view.inspector()->background();
    background->chooseTab(BackgroundKind::solid);
    waitFor([&] { return scene.document().isStyleApplied(); });
    shot.capture(scene.window(), "editor-background-solid");
    background->chooseTab(BackgroundKind::image);
    shot.capture(scene.window(), "editor-background-image-empty");
    QImage wallpaper(640, 400, QImage::Format_RGB32);
    for (int y = 0; y < wallpaper.height(); ++y) {
        for (int x = 0; x < wallpaper.width(); ++x) {
            wallpaper.setPixel(x, y, qRgb(40 + x / 5, 90 + y / 6, 160 + (x + y) / 12));
        }
    }
    const fs::path image = scene.dir() / "Wallpaper.png";
    wallpaper.save(QString::fromStdString(image.string()));
    StyleSettings style = scene.document().style();
    style.background = BackgroundStyle::image(image.string());
    scene.document().setStyle(style);
    waitFor([&] { return scene.document().isStyleApplied(); });
    shots::ShotContext::settle(400);
    shot.capture(scene.window(), "editor-background-image");
    background->chooseTab(BackgroundKind::gradients);
    waitFor([&] { return scene.document().isStyleApplied(); });
    shot.capture(scene.window(), "editor-background-gradients");

    PresetsMenuButton* presets = view.inspector()->presetsButton();
    presets->openSavePopover();
    presets->savePopover()->nameField()->setText(QStringLiteral("Launch video"));
    shots::ShotContext::settle(300);
    shot.captureArea(scene.window().frameGeometry().united(presets->savePopover()->frameGeometry()),
                     "editor-save-preset");
    presets->savePopover()->close();

    scene.document().setExportRequested(true);
    shots::ShotContext::settle(500);
    shot.captureArea(scene.window().frameGeometry(), "editor-export-sheet");
    ExportSheet* sheet = scene.window().exportSheet();
    sheet->exportTo(scene.dir() / "Product Demo.mp4");
    waitFor([&] { return scene.document().exportProgress().value_or(0) > 0.08; }, 60000);
    shots::ShotContext::settle(200);
    shot.captureArea(scene.window().frameGeometry(), "editor-export-progress");
    scene.document().cancelExport();
    waitFor([&] { return !scene.document().exportProgress(); });

    scene.document().setErrorMessage("A recording named “Product Demo 2” already exists.");
    shot.capture(scene.window(), "editor-error-banner");
    scene.document().setErrorMessage(std::nullopt);

    // Zoom on clicks: the segment made from the clicks in the lane,
    // selected (the playhead moves into it), its section in view.
    scene.document().setTrimStart(std::nullopt);
    scene.document().setTrimEnd(std::nullopt);
    ZoomEditor& zoom = *view.zoomEditor();
    zoom.setAutoZoom(true);
    zoom.select(0);
    QScrollBar* scroll = view.inspector()->scrollArea()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    waitFor([&] { return scene.document().isStyleApplied(); });
    shots::ShotContext::settle(500);
    shot.capture(scene.window(), "editor-zoom");

    // Closing the window while it exports asks first.
    scene.document().exportTo(scene.dir() / "Product Demo.mp4", {});
    scene.window().close();
    shots::ShotContext::settle(400);
    shot.captureArea(scene.window().frameGeometry(), "editor-export-question");
    scene.document().cancelExport();
    waitFor([&] { return !scene.document().exportProgress(); });
}

ZARVEX_SHOT(editor_error) {
    testing::TempDir dir;
    const fs::path folder = dir / "Broken Recording";
    testing::writeRecordingFolder(folder, {});
    testing::runProcess(
        {"sh", "-c", "echo not a movie > '" + (folder / "screen.mov").string() + "'"});
    PresetStore presets(dataHomeDirectory() / "Zarvex");
    EditorWindows windows({presets, [](const fs::path&) {}});
    windows.open(folder);
    EditorWindow* window = windows.windowFor(folder);
    window->move(60, 40);
    waitFor([&] { return window->face() == EditorWindow::Face::failed; });
    shot.capture(*window, "editor-error");
}
