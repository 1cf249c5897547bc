// How soon a style edit in the editor shows in the preview, run by hand:
//
//   build/<dir>/bench/editor/style_edit_bench [EDITS] [--zoom]
//
// Opens a 1920×1080 recording (with a webcam and clicks) in the real editor
// window on a private Xvfb (1920 × 1080, openbox), paused, and times from each
// edit to the first new picture painted in the preview, EDITS times (default
// 40) for each kind:
//   padding    the padding slider moved: the background is reused
//   angle      the gradient's angle moved: a new background is drawn first
//   corner     the bubble sent to another corner
// and prints the median, the 90th percentile and the slowest, each also as a
// ratio of one 60 Hz frame (16.7 ms; the target is a median at or below 1.0).
// With --zoom the recording is 1280×720 with a zoom segment (2×) under the
// paused playhead, and a fourth kind is timed:
//   scale      the segment's scale changed
// A drag never queues edits (they coalesce), so each edit waits for the last
// one's picture here. Note the machine's load with any figure.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/background_section.h"
#include "editor/editor_view.h"
#include "editor/editor_windows.h"
#include "editor/frame_view.h"
#include "editor/player_time_model.h"
#include "editor/player_view.h"
#include "editor/slider_row.h"
#include "editor/style_column.h"
#include "gui/gui_environment.h"
#include "media_fixtures.h"
#include "model/preset_store.h"
#include "model/project.h"
#include "render/project_document.h"
#include "temp_dir.h"
#include "ui/gui_application.h"
#include "xvfb.h"

namespace zarvex {
namespace {

constexpr double kFrameMs = 1000.0 / 60;

void report(const char* name, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%-8s no pictures\n", name);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p90 = ms[std::min(ms.size() - 1, ms.size() * 9 / 10)];
    std::printf(
        "%-8s median %6.1f ms (%.2f frames)  p90 %6.1f ms (%.2f)  slowest %6.1f ms (%.2f)\n", name,
        median, median / kFrameMs, p90, p90 / kFrameMs, ms.back(), ms.back() / kFrameMs);
}

int run(int edits, bool zoomed) {
    testing::Xvfb server(1920, 1080);
    ::setenv("DISPLAY", server.display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    testing::WindowManager manager(server);
    testing::TempDir dir;
    ::setenv("HOME", dir.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    testing::RecordingFolderOptions recording;
    recording.screen.width = zoomed ? 1280 : 1920;
    recording.screen.height = zoomed ? 720 : 1080;
    recording.screen.frameCount = 120;
    recording.webcamStartSeconds = 0;
    recording.clicks = {{0.5, 0.3, 0.3}, {1.2, 0.6, 0.6}};
    testing::writeRecordingFolder(dir / "Bench", recording);
    if (zoomed) {
        ProjectMeta meta = readProjectFile(dir / "Bench");
        meta.zoom = ZoomSettings{false, std::vector<ZoomSegment>{{0, 2, 2.0, 0.3, 0.3, {}, false}}};
        writeProjectFile(dir / "Bench", meta);
    }

    GuiApplication gui({"style_edit_bench"});
    PresetStore presets(dir / "data" / "Zarvex");
    EditorWindows windows({presets, [](const std::filesystem::path&) {}});
    if (const auto error = windows.open(dir / "Bench")) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    EditorWindow& window = *windows.windowFor(dir / "Bench");
    window.resize(1600, 1000);
    ProjectDocument& document = window.document();
    FrameView& preview = *window.editorView()->playerView()->frameView();
    if (!testing::waitUntil([&] { return document.isLoaded() && !preview.picture().empty(); },
                            60000)) {
        std::fprintf(stderr, "the recording did not load\n");
        return 1;
    }
    if (zoomed) {
        window.editorView()->playerView()->time().seek(1.0);
    }
    testing::waitUntil([] { return false; }, 500);

    int painted = 0;
    QObject::connect(&preview, &FrameView::picturePainted, [&] { ++painted; });
    const auto measure = [&](const std::function<void(int)>& edit) {
        std::vector<double> ms;
        for (int i = 0; i < edits; ++i) {
            const int before = painted;
            QElapsedTimer timer;
            timer.start();
            edit(i);
            if (testing::waitUntil([&] { return painted > before; }, 5000)) {
                ms.push_back(double(timer.nsecsElapsed()) / 1e6);
            }
            testing::waitUntil([] { return false; }, 20);
        }
        return ms;
    };
    InspectorView& inspector = *window.editorView()->inspector();
    QSlider* padding = inspector.paddingRow()->slider();
    QSlider* angle = inspector.background()->angleRow()->slider();
    std::printf("%s recording, preview %d×%d, load %s\n", zoomed ? "1280×720 zoomed" : "1920×1080",
                preview.width(), preview.height(), [] {
                    static char text[64] = "?";
                    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
                        if (std::fgets(text, sizeof text, f) == nullptr) {
                            text[0] = '\0';
                        }
                        std::fclose(f);
                    }
                    return text;
                }());
    report("padding", measure([&](int i) { padding->setValue(1000 + (i % 2) * 3000 + i * 10); }));
    report("angle", measure([&](int i) { angle->setValue(1000 + i * 150); }));
    report("corner", measure([&](int i) {
               StyleSettings style = document.style();
               style.webcam.corner =
                   i % 2 ? WebcamSpec::Corner::topLeft : WebcamSpec::Corner::bottomRight;
               document.setStyle(style);
           }));
    if (zoomed) {
        report(
            "scale", measure([&](int i) {
                std::vector<ZoomSegment> segments{{0, 2, i % 2 ? 2.0 : 2.5, 0.3, 0.3, {}, false}};
                document.setZoom(ZoomSettings{false, std::move(segments)});
            }));
    }
    return 0;
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    int edits = 40;
    bool zoomed = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--zoom") {
            zoomed = true;
        } else {
            edits = std::atoi(argv[i]);
        }
    }
    return zarvex::run(edits, zoomed);
}
