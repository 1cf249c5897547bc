// The tray application's parts that need no display: the menu's entries in
// each state, one running instance per session, the recent recordings; and
// what every command that needs a display does without one.

#include <gtest/gtest.h>

#include <QThread>

#include "app/menu_content.h"
#include "app/recent_recordings.h"
#include "app/single_instance.h"
#include "event_loop.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::processEventsUntil;

std::vector<std::string> titles(const std::vector<MenuEntry>& entries) {
    std::vector<std::string> result;
    for (const auto& entry : entries) {
        result.push_back(entry.item == MenuItem::separator ? "---" : entry.title);
    }
    return result;
}

TEST(MenuContent, EntriesTopToBottomRecentRecordingsAndWrappedErrors) {
    MenuState state;
    state.hotkeyText = "Ctrl+Shift+G";
    state.versionText = "Version 0.1.0 (1)";
    using Titles = std::vector<std::string>;
    EXPECT_EQ(titles(menuEntries(state)),
              (Titles{"New Recording…  Ctrl+Shift+G", "---", "Open Recent", "Open Recording…",
                      "Open Recordings Folder", "---", "Settings…", "---", "Version 0.1.0 (1)",
                      "Quit Zarvex"}));

    state.phase = AppState::Phase::recording;
    state.elapsedText = "75:03";
    state.hasUpdater = true;
    state.errorMessage = "Recording failed: No frames were captured.";
    const auto entries = menuEntries(state);
    EXPECT_EQ(titles(entries),
              (Titles{"Recording… 75:03", "Stop Recording  Ctrl+Shift+G", "---", "Open Recent",
                      "Open Recording…", "Open Recordings Folder", "---", "Settings…",
                      "Check for Updates…", "---", "Recording failed: No frames were captured.",
                      "---", "Version 0.1.0 (1)", "Quit Zarvex"}));
    for (const auto& entry : entries) {
        const bool text = entry.item == MenuItem::recordingTime || entry.item == MenuItem::error ||
                          entry.item == MenuItem::version;
        const bool disabledUpdates = entry.item == MenuItem::checkForUpdates;  // a check runs
        EXPECT_EQ(entry.enabled, !text && !disabledUpdates) << entry.title;
    }
    EXPECT_EQ(entries[7].shortcut, "Ctrl+,");
    EXPECT_EQ(entries.back().shortcut, "Ctrl+Q");

    // Recent recordings by folder name, or none yet.
    EXPECT_EQ(
        recentEntries({}),
        (std::vector<MenuEntry>{{MenuItem::noRecordings, "No Recordings Yet", false, {}, {}}}));
    const std::filesystem::path folder = "/videos/Zarvex 2025-03-07 at 4.05.09 PM";
    EXPECT_EQ(recentEntries({folder}),
              (std::vector<MenuEntry>{
                  {MenuItem::recent, "Zarvex 2025-03-07 at 4.05.09 PM", true, {}, folder}}));

    // Long errors are wrapped at spaces.
    EXPECT_EQ(wrapText("Screen Recording permission is required.", 20),
              (std::vector<std::string>{"Screen Recording", "permission is", "required."}));
    EXPECT_EQ(wrapText("Überall “quoted” text", 16),
              (std::vector<std::string>{"Überall “quoted”", "text"}));
    EXPECT_EQ(wrapText("a-very-long-word fits", 5),
              (std::vector<std::string>{"a-very-long-word", "fits"}));
    EXPECT_EQ(wrapText("", 5), std::vector<std::string>{""});
}

TEST(SingleInstance, TheFirstClaimsLaterOnesHandOverADeadOneIsNoObstacle) {
    testing::coreApplication();
    testing::TempDir folder;
    SingleInstance running(folder.path() / "run", ":7");
    ASSERT_TRUE(running.claim());
    std::vector<std::vector<std::string>> requests;
    QObject::connect(
        &running, &SingleInstance::requested,
        [&](const std::vector<std::string>& arguments) { requests.push_back(arguments); });

    SingleInstance later(folder.path() / "run", ":7");
    EXPECT_FALSE(later.claim());
    // Another session (display) runs its own instance.
    SingleInstance elsewhere(folder.path() / "run", ":8");
    EXPECT_TRUE(elsewhere.claim());

    bool delivered = false;
    QThread* sender = QThread::create([&] {
        delivered = later.handOver({"open", "/videos/Zarvex 1/ «x»"});
    });
    sender->start();
    ASSERT_TRUE(processEventsUntil([&] { return sender->isFinished(); }));
    delete sender;
    EXPECT_TRUE(delivered);
    EXPECT_EQ(requests, (std::vector<std::vector<std::string>>{{"open", "/videos/Zarvex 1/ «x»"}}));

    // An instance that died leaves nothing in the way.
    {
        SingleInstance gone(folder.path(), "session");
        ASSERT_TRUE(gone.claim());
    }
    // A socket file left behind by a crash.
    testing::writeText(folder / "zarvex-session.socket", "");
    SingleInstance next(folder.path(), "session");
    EXPECT_TRUE(next.claim());
    SingleInstance nobody(folder.path(), "other");
    EXPECT_FALSE(nobody.send({"open"}, std::chrono::milliseconds(200)));
    // A command that only hands over finds out at once that nobody runs.
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(nobody.handOver({"settings"}));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(100));
}

TEST(RecentRecordings, FollowTheFolder) {
    testing::coreApplication();
    testing::TempDir folder;
    RecentRecordings recent([&] { return folder.path(); });
    int changes = 0;
    QObject::connect(&recent, &RecentRecordings::changed, [&] { ++changes; });
    testing::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(recent.list().empty());

    std::filesystem::create_directories(folder / "Zarvex 1");
    testing::writeText(folder / "Zarvex 1" / "project.json", "{}");
    ASSERT_TRUE(processEventsUntil([&] { return recent.list().size() == 1; }));
    EXPECT_EQ(recent.list()[0], folder / "Zarvex 1");
    std::filesystem::rename(folder / "Zarvex 1", folder / "Renamed");
    ASSERT_TRUE(
        processEventsUntil([&] { return recent.list() == std::vector{folder / "Renamed"}; }));
    EXPECT_EQ(changes, 2);

    // One destroyed while its first read is out is not updated when the read ends.
    std::make_unique<RecentRecordings>([&] { return folder.path(); }).reset();
    testing::processEventsFor(std::chrono::milliseconds(100));
}

TEST(Desktop, EveryCommandThatNeedsOneSaysWhatIsMissingAndExits1) {
    const testing::TempDir home;
    for (const std::string display : {"", "DISPLAY=:9998"}) {  // none, or one that cannot open
        for (const std::string command :
             {"", "open rec", "play rec", "settings", "record", "displays", "windows"}) {
            const testing::ProcessResult result = testing::runProcess(
                {"sh", "-c",
                 "env -u WAYLAND_DISPLAY -u DISPLAY XDG_SESSION_TYPE=x11 HOME='" +
                     home.path().string() + "' " + display + " " ZARVEX_BINARY " " + command});
            EXPECT_EQ(result.exitCode, 1) << command << display;  // not 134, Qt's abort
            EXPECT_EQ(result.err,
                      "zarvex: Zarvex needs an X11 display to record: DISPLAY is not set or the "
                      "display cannot be opened.\n")
                << command;
            EXPECT_EQ(result.out, "");
        }
    }
}

}  // namespace
}  // namespace zarvex
