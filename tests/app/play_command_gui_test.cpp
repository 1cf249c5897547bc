// `zarvex play` as a user runs it, on a private X server with a window
// manager: the window shows the styled picture that the export writes for the
// same time, and the keys move through the recording.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <regex>

#include <gtest/gtest.h>

#include "child_process.h"
#include "document_fixtures.h"
#include "gui/gui_environment.h"
#include "media_fixtures.h"
#include "model/project.h"
#include "process.h"
#include "temp_dir.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;

// The client area of the window titled `title`: x, y, width, height.
std::optional<QRect> windowArea(const std::string& title) {
    const testing::ProcessResult info = testing::runProcess({"xwininfo", "-name", title});
    if (info.exitCode != 0) {
        return std::nullopt;
    }
    const auto value = [&](const char* label) {
        std::smatch match;
        const std::regex pattern(std::string(label) + R"(:\s+(-?\d+))");
        return std::regex_search(info.out, match, pattern) ? std::stoi(match[1]) : -1;
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                 value("Height"));
}

// The window's client area as on screen now (the window manager may still
// be placing it).
QImage screenshot(const std::string& title) {
    const QRect area = windowArea(title).value_or(QRect());  // gone: not its size
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The exported movie's frame at `seconds`, as ffmpeg decodes it.
QImage exportedFrame(const std::filesystem::path& movie, double seconds, QSize size) {
    const testing::ProcessResult frame =
        testing::runProcess({"ffmpeg", "-v", "error", "-ss", std::to_string(seconds), "-i", movie,
                             "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    EXPECT_EQ(frame.out.size(), std::size_t(size.width() * size.height() * 4)) << frame.err;
    return QImage(reinterpret_cast<const uchar*>(frame.out.data()), size.width(), size.height(),
                  QImage::Format_RGB32)
        .copy();
}

// The mean difference of all channels, 0…255.
double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 255;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = a.constScanLine(y);
        const auto* q = b.constScanLine(y);
        for (int x = 0; x < 4 * a.width(); ++x) {
            if (x % 4 != 3) {
                sum += std::abs(int(p[x]) - int(q[x]));
            }
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

TEST(PlayCommand, ShowsTheExportedPictureAndMovesWithTheKeys) {
    const testing::Xvfb& server = testing::GuiEnvironment::get().server();
    testing::TempDir dir;
    const std::filesystem::path folder = dir / "Play Me";
    testing::RecordingFolderOptions recording;
    recording.screen.frameCount = 240;  // 4 s at 60 fps, 320 × 240
    recording.clicks = {{1.05, 0.4, 0.6}};
    testing::writeRecordingFolder(folder, recording);
    const std::map<std::string, std::string> environment{
        {"DISPLAY", server.display()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"XDG_DATA_HOME", (dir / "data").string()},
        {"PULSE_SERVER", "unix:" + (dir / "no-sound-server").string()}};

    const std::filesystem::path movie = dir / "export.mp4";
    std::vector<std::string> exporting{"env"};
    for (const auto& [name, value] : environment) {
        exporting.push_back(name + "=" + value);
    }
    exporting.insert(exporting.end(), {ZARVEX_BINARY, "export", folder, "-o", movie});
    ASSERT_EQ(testing::runProcess(exporting).exitCode, 0);

    // Trimmed: playing it still leaves the folder untouched.
    ProjectMeta meta = readProjectFile(folder);
    meta.trimStart = 0.05;
    writeProjectFile(folder, meta);
    // Names, sizes, times to the nanosecond and contents of the folder's files.
    const std::vector<std::string> listing{
        "sh", "-c", "cd '" + folder.string() + "' && ls -l --full-time && sha256sum *"};
    const std::string before = testing::runProcess(listing).out;

    testing::ChildProcess play(
        {ZARVEX_BINARY, "play", folder.string(), "--at", "1.1", "--paused", "--size", "320x240"},
        {.environment = environment, .quiet = true});
    ASSERT_TRUE(testing::processEventsUntil([&] {
        const std::optional<QRect> area = windowArea("Play Me");
        return area && area->width() == 320 && area->height() == 240;
    }));
    // The window comes to show the exported picture at `seconds`.
    const auto expectShown = [&](double seconds, const char* after) {
        const QImage expected = exportedFrame(movie, seconds, {320, 240});
        double difference = 255;
        testing::processEventsUntil(
            [&] {
                difference = meanDifference(screenshot("Play Me"), expected);
                return difference < 2;
            },
            30s);
        EXPECT_LT(difference, 2) << "after " << after;
    };
    // The picture at 1.1 s, a ripple in it, as the export has it.
    expectShown(1.1, "the start");

    // End, then back 5 s (clamped at the start), then 5 s on (clamped at the end).
    for (const auto& [key, seconds] : {std::pair{"End", 4.0 - 1.0 / 60}, std::pair{"Left", 0.0},
                                       std::pair{"Right", 4.0 - 1.0 / 60}}) {
        testing::runXClient(server, {"xdotool", "search", "--name", "Play Me", "windowactivate",
                                     "--sync", "key", key});
        expectShown(seconds, key);
    }

    // Escape closes the window and ends the program (the key's release then
    // finds no window, which xdotool reports as an error).
    testing::runProcess({"env", "DISPLAY=" + server.display(), "xdotool", "search", "--name",
                         "Play Me", "windowactivate", "--sync", "key", "Escape"});
    EXPECT_TRUE(testing::processEventsUntil([&] { return !windowArea("Play Me"); }));
    EXPECT_TRUE(testing::processEventsUntil([&] { return play.exited(); }, 30s));
    EXPECT_EQ(play.stop(), 0);
    EXPECT_EQ(testing::runProcess(listing).out, before);
}

}  // namespace
}  // namespace zarvex
