// The editor window under Xvfb: opening and the registry, the faces, the
// header's rename and reveal, closing, the theme, the main thread kept free,
// and `zarvex open`.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <csignal>
#include <thread>

#include "child_process.h"
#include "editor/background_section.h"
#include "editor/editor_header.h"
#include "editor/editor_view.h"
#include "editor/export_question.h"
#include "editor/export_sheet.h"
#include "editor/slider_row.h"
#include "editor/style_column.h"
#include "editor_fixture.h"
#include "gui/main_thread_watchdog.h"
#include "gui/windows.h"
#include "model/file_io.h"
#include "process.h"
#include "render/off_main_thread.h"
#include "render/project_document.h"
#include "ui/application_theme.h"
#include "xvfb.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::waitUntil;

class EditorWindowTest : public testing::EditorTest {};

TEST_F(EditorWindowTest, OpensOneWindowPerFolderReportsFoldersItCannotReadAndFollowsTheTheme) {
    const fs::path folder = testing::writeEditorRecording(dir / "Demo");
    EditorWindow& window = openLoaded(folder);
    EXPECT_EQ(window.windowTitle(), "Demo");
    EXPECT_EQ(window.size(), QSize(1100, 700));
    EXPECT_EQ(window.minimumSize(), QSize(860, 480));
    EXPECT_EQ(window.face(), EditorWindow::Face::editor);
    EXPECT_EQ(window.editorView()->inspector()->width(), 300);
    EXPECT_EQ(window.editorView()->header()->nameLabel()->text(), "Demo");

    // Again, also spelled differently: the same window comes forward.
    EXPECT_FALSE(windows.open(folder));
    EXPECT_FALSE(windows.open(dir.path() / "." / "Demo" / ""));
    EXPECT_EQ(windows.count(), 1u);
    EXPECT_EQ(windows.windowFor(folder), &window);

    const std::optional<std::string> missing = windows.open(dir / "Nothing here");
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->starts_with("Could not open recording: ")) << *missing;
    fs::create_directory(dir / "Not a recording");
    writeFileAtomically(dir / "Not a recording" / "project.json", "{}");
    EXPECT_TRUE(windows.open(dir / "Not a recording"));
    EXPECT_EQ(windows.count(), 1u);

    // The window follows the theme while open (its palette: look_test).
    const QImage before = testing::grabFromScreen(window);
    ThemeManager::shared().apply("rewind");
    ASSERT_TRUE(waitUntil([&] {
        // The top-left of the backdrop turns from the dark stage to cream.
        return qGray(testing::grabFromScreen(window).pixel(2, 2)) > 200;
    }));
    EXPECT_LT(qGray(before.pixel(2, 2)), 60);
}

TEST_F(EditorWindowTest, ARecordingThatCannotBeLoadedShowsWhatWentWrong) {
    const fs::path folder = testing::writeEditorRecording(dir / "Broken");
    writeFileAtomically(folder / "screen.mov", "not a movie");
    ASSERT_FALSE(windows.open(folder));
    EditorWindow& window = *windows.windowFor(folder);
    EXPECT_EQ(window.face(), EditorWindow::Face::loading);
    EXPECT_EQ(window.loadingLabel()->text(), "Loading recording…");
    ASSERT_TRUE(waitUntil([&] { return window.face() == EditorWindow::Face::failed; }));
    EXPECT_EQ(window.errorTitle()->text(), "Something went wrong");
    EXPECT_NE(window.errorMessage()->text().indexOf("screen.mov"), -1);

    // Read, then gone before the player gets to it: the banner says why the
    // preview shows nothing.
    const fs::path vanishing = testing::writeEditorRecording(dir / "Vanishing");
    ASSERT_FALSE(windows.open(vanishing));
    backgroundPool().waitForDone();  // the movies have been read
    fs::remove(vanishing / "screen.mov");
    EditorWindow& playing = *windows.windowFor(vanishing);
    ASSERT_TRUE(waitUntil([&] { return playing.document().errorMessage().has_value(); }));
    EXPECT_EQ(playing.face(), EditorWindow::Face::editor);
    const QString shown =
        playing.editorView()->errorBanner()->message()->text().remove(QChar(0x200B));
    EXPECT_TRUE(shown.startsWith("Playback failed: ")) << shown.toStdString();
    EXPECT_NE(shown.indexOf("screen.mov"), -1);
    EXPECT_TRUE(playing.editorView()->errorBanner()->isVisible());
}

TEST_F(EditorWindowTest, RenamingInTheHeaderMovesTheFolderTheRegistryAndTheTitle) {
    const fs::path folder = testing::writeEditorRecording(dir / "Demo");
    fs::create_directory(dir / "Taken");
    EditorWindow& window = openLoaded(folder);
    EditorHeader& header = *window.editorView()->header();
    EXPECT_EQ(header.nameLabel()->toolTip(), "Double-click to rename");

    QTest::mouseDClick(header.nameLabel(), Qt::LeftButton);
    ASSERT_TRUE(header.isEditingName());
    const QLineEdit& field = *header.nameField();
    EXPECT_EQ(std::tuple(field.width(), field.placeholderText(), field.text()),
              std::tuple(260, "Name", "Demo"));
    QTest::keyClicks(header.nameField(), "Taken");  // replaces the selected name
    QTest::keyClick(header.nameField(), Qt::Key_Return);
    EXPECT_FALSE(header.isEditingName());
    ASSERT_TRUE(waitUntil([&] { return window.document().errorMessage().has_value(); }));
    ErrorBanner& banner = *window.editorView()->errorBanner();
    EXPECT_TRUE(banner.isVisible());
    EXPECT_EQ(banner.message()->text().remove(QChar(0x200B)),
              "A recording named “Taken” already exists.");
    QTest::mouseClick(banner.dismissButton(), Qt::LeftButton);
    EXPECT_FALSE(window.document().errorMessage());
    EXPECT_FALSE(banner.isVisible());

    // Escape leaves the name as it was.
    header.beginEditingName();
    QTest::keyClicks(header.nameField(), "Never");
    QTest::keyClick(header.nameField(), Qt::Key_Escape);
    EXPECT_FALSE(header.isEditingName());

    header.beginEditingName();
    QTest::keyClicks(header.nameField(), "Launch: take 2");
    QTest::keyClick(header.nameField(), Qt::Key_Return);
    const fs::path renamed = dir / "Launch- take 2";
    ASSERT_TRUE(waitUntil(
        [&] { return window.document().bundleURL() == renamed && window.document().isLoaded(); }));
    EXPECT_TRUE(fs::exists(renamed / "screen.mov"));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(window.windowTitle(), "Launch- take 2");
    EXPECT_EQ(header.nameLabel()->text(), "Launch- take 2");
    EXPECT_EQ(std::tuple(windows.windowFor(renamed), windows.windowFor(folder)),
              std::tuple(&window, static_cast<EditorWindow*>(nullptr)));
    EXPECT_FALSE(windows.open(renamed));
    EXPECT_EQ(windows.count(), 1u);

    QTest::mouseClick(header.revealButton(), Qt::LeftButton);
    EXPECT_EQ(header.revealButton()->toolTip(), "Show in File Manager");
    EXPECT_EQ(revealed, (std::vector<fs::path>{renamed}));
    EXPECT_EQ(std::tuple(header.exportButton()->text(), header.exportButton()->toolTip()),
              std::tuple("Export", "Export video"));
    QTest::mouseClick(header.exportButton(), Qt::LeftButton);
    EXPECT_TRUE(window.document().exportRequested());
    ASSERT_NE(window.exportSheet(), nullptr);
    window.exportSheet()->reject();
    EXPECT_FALSE(window.document().exportRequested());
}

TEST_F(EditorWindowTest, ClosingSavesPausesAndForgetsTheWindow) {
    const fs::path folder = testing::writeEditorRecording(dir / "Demo");
    QPointer<EditorWindow> window = &openLoaded(folder);
    StyleSettings style = window->document().style();
    style.cornerRadius = 33;
    window->document().setStyle(style);
    window->document().player().setRate(1);
    int closed = 0;
    QObject::connect(&windows, &EditorWindows::windowClosed, [&] { ++closed; });

    window->close();
    EXPECT_EQ(window->document().player().rate(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(std::tuple(closed, windows.count(), windows.windowFor(folder)),
              std::tuple(1, std::size_t{0}, static_cast<EditorWindow*>(nullptr)));
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));  // once its last save is written
    EXPECT_EQ(readProjectFile(folder).style->cornerRadius, 33);

    // Opening it again reads what was saved.
    EditorWindow& again = openLoaded(folder);
    EXPECT_EQ(again.document().style().cornerRadius, 33);

    // Closed while exporting, the export cancelled: closed, nothing written.
    again.document().exportTo(dir / "Cancelled.mp4", {});
    again.close();
    ASSERT_TRUE(again.exportQuestion());
    QTest::mouseClick(again.exportQuestion()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return windows.count() == 0; }));
    EXPECT_FALSE(fs::exists(dir / "Cancelled.mp4"));

    // Quitting while two export: asked once, kept; each window closes as its
    // movie is done, then the registry has nothing left.
    const fs::path other = testing::writeEditorRecording(dir / "Other");
    ProjectDocument& one = openLoaded(folder).document();
    openLoaded(other).document().exportTo(dir / "Two.mp4", {});
    one.exportTo(dir / "One.mp4", {});
    bool allClosed = false;
    QObject::connect(&windows, &EditorWindows::allClosed, [&] { allClosed = true; });
    windows.closeAll();
    const std::vector<ExportQuestion*> asked = testing::visibleWindows<ExportQuestion>();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0]->title()->text(), "2 recordings are still exporting");
    EXPECT_EQ(asked[0]->cancelButton()->text(), "Cancel Exports");
    QTest::keyClick(asked[0], Qt::Key_Escape);  // keeps them
    EXPECT_EQ(windows.count(), 2u);
    ASSERT_TRUE(waitUntil([&] { return allClosed; }, 120000));
    EXPECT_TRUE(fs::exists(dir / "One.mp4") && fs::exists(dir / "Two.mp4"));
}

TEST_F(EditorWindowTest, LoadingSavingImagesRenameAndExportNeverHoldTheMainThread) {
    const fs::path folder =
        testing::writeEditorRecording(dir / "Big", {.width = 1920, .height = 1080, .frames = 60});
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(QColor(90, 140, 200));
    const fs::path image = dir / "photo.png";
    ASSERT_TRUE(photo.save(QString::fromStdString(image.string())));
    EditorWindow& window = openLoaded(folder);
    ProjectDocument& document = window.document();
    InspectorView& inspector = *window.editorView()->inspector();

    testing::MainThreadWatchdog watchdog;
    // Slider drags, new backgrounds drawn at 1080p, an image decoded, saves.
    for (int step = 0; step <= 40; ++step) {
        inspector.paddingRow()->slider()->setValue(step * 200);
        inspector.background()->angleRow()->slider()->setValue(step * 250);
        testing::runEventLoop(8);
    }
    StyleSettings style = document.style();
    style.background = BackgroundStyle::image(image.string());
    document.setStyle(style);
    ASSERT_TRUE(waitUntil([&] { return document.isStyleApplied(); }));
    waitUntilSaved(document);
    // A rename (the move and the reload) and an export's set-up and run.
    document.rename("Renamed");
    ASSERT_TRUE(waitUntil(
        [&] { return document.isLoaded() && document.bundleURL().filename() == "Renamed"; }));
    bool exported = false;
    document.exportTo(dir / "out.mp4", {}, [&] { exported = true; });
    ASSERT_TRUE(waitUntil([&] { return exported; }, 120000));
    EXPECT_FALSE(document.errorMessage());
    // A preset saved and deleted: the file is written on the store's thread.
    presets.save("Talk", style);
    presets.deletePreset("Talk");
    ASSERT_TRUE(waitUntil([&] { return !presets.hasPendingWrites(); }));

    // Closed while playing, and opened again while its last save is being
    // written: the same window comes back with the edit.
    style.cornerRadius = 21;
    document.setStyle(style);
    document.player().setRate(1);
    window.close();
    EXPECT_FALSE(windows.open(dir / "Renamed"));
    EXPECT_EQ(windows.windowFor(dir / "Renamed"), &window);
    QPointer<EditorWindow> closing = &window;
    window.close();  // for good: the player and the window are taken apart
    ASSERT_TRUE(waitUntil([&] { return closing.isNull(); }));
    EXPECT_EQ(readProjectFile(dir / "Renamed").style->cornerRadius, 21);

    EXPECT_GT(watchdog.probes(), 50);
    EXPECT_LT(watchdog.longestStall().count(), 50);
}

TEST(OpenCommand, OpensTheEditorInTheRunningZarvexOneWindowPerFolder) {
    const testing::Xvfb server(1280, 800);
    const testing::WindowManager manager(server);
    const testing::TrayHost tray(server);
    const testing::TempDir dir;
    const fs::path folder = testing::writeEditorRecording(dir / "Demo");
    const testing::TempDir home;
    const std::string runtime = (home / "runtime").string();
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::map<std::string, std::string> environment{{"DISPLAY", server.display()},
                                                         {"HOME", home.path().string()},
                                                         {"XDG_RUNTIME_DIR", runtime}};
    const auto run = [&](std::vector<std::string> arguments) {
        for (const auto& [name, value] : environment) {
            arguments.insert(arguments.begin(), name + "=" + value);
        }
        arguments.insert(arguments.begin(), "env");
        return testing::runProcess(arguments);
    };
    const auto demoWindows = [&] {
        return run({"xdotool", "search", "--onlyvisible", "--name", "^Demo$"}).out;
    };
    const auto windowsNamedDemo = [&] { return std::ranges::count(demoWindows(), '\n'); };

    // The first becomes the running Zarvex and opens the window.
    testing::ChildProcess first({ZARVEX_BINARY, "open", folder.string()},
                                {.environment = environment, .quiet = true});
    ASSERT_TRUE(testing::eventually([&] { return windowsNamedDemo() != 0; }, 30s, 100ms));
    ASSERT_EQ(windowsNamedDemo(), 1);
    // A second one hands the folder over: the same window comes forward.
    EXPECT_EQ(run({ZARVEX_BINARY, "open", folder.string()}).exitCode, 0);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(windowsNamedDemo(), 1);

    // Ctrl+W closes the window; Zarvex stays in the tray until told to quit.
    const std::string window = demoWindows();
    run({"xdotool", "windowactivate", "--sync", window.substr(0, window.find('\n')), "key",
         "--clearmodifiers", "ctrl+w"});
    EXPECT_TRUE(testing::eventually([&] { return windowsNamedDemo() == 0; }, 10s, 100ms));
    EXPECT_FALSE(first.exited());
    ::kill(first.pid(), SIGTERM);
    EXPECT_TRUE(testing::eventually([&] { return first.exited(); }, 10s));
    EXPECT_EQ(first.stop(), 0);
}

}  // namespace
}  // namespace zarvex
