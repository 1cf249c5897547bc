#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "capture/errors.h"
#include "capture/permissions.h"
#include "capture/recordings_directory.h"
#include "fake_permissions.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::FakePermissionAuthority;
using testing::ScopedEnv;
using testing::TempDir;
using testing::writeText;
using Kind = PermissionError::Kind;
using Status = AuthorizationStatus;

// What ensureScreenAndMicrophone (or ensureCamera) refuses with; nothing when it passes.
std::optional<Kind> refusal(FakePermissionAuthority& authority, bool camera = false) {
    try {
        camera ? ensureCamera(authority) : ensureScreenAndMicrophone(authority);
    } catch (const PermissionError& error) {
        return error.kind();
    }
    return std::nullopt;
}

TEST(Permissions, ScreenFirstThenMicrophonePromptingOnlyWhenUndetermined) {
    // Screen granted, a screen request grants, the microphone's status, a
    // microphone request grants: the refusal and the calls made, in order.
    struct Case {
        bool screen, screenAsk;
        Status audio;
        bool audioAsk;
        std::optional<Kind> refused;
        std::string calls;
    };
    const std::optional<Kind> none;
    for (const Case& c : std::vector<Case>{
             {true, true, Status::authorized, true, none, "screen? audio?"},
             {false, false, Status::denied, true, Kind::screenRecordingDenied,
              "screen? request screen"},
             {false, true, Status::authorized, true, none, "screen? request screen audio?"},
             {true, true, Status::restricted, true, Kind::microphoneDenied, "screen? audio?"},
             {true, true, Status::denied, true, Kind::microphoneDenied, "screen? audio?"},
             {true, true, Status::notDetermined, false, Kind::microphoneDenied,
              "screen? audio? request audio"},
             {true, true, Status::notDetermined, true, none, "screen? audio? request audio"},
         }) {
        FakePermissionAuthority authority;
        authority.screenGranted = c.screen;
        authority.screenRequestGrants = c.screenAsk;
        authority.audioStatus = c.audio;
        authority.audioRequestGrants = c.audioAsk;
        EXPECT_EQ(refusal(authority), c.refused) << c.calls;
        EXPECT_EQ(authority.calls, c.calls);
    }

    FakePermissionAuthority authority;
    authority.videoStatus = Status::notDetermined;
    authority.videoRequestGrants = false;
    EXPECT_EQ(refusal(authority, true), Kind::cameraDenied);
    EXPECT_EQ(authority.calls, "video? request video");
    authority = {};
    EXPECT_EQ(refusal(authority, true), std::nullopt);
}

TEST(Permissions, RefusalsTellWhereToGrantThem) {
    EXPECT_STREQ(PermissionError(Kind::microphoneDenied).what(),
                 "Microphone permission is required for narration. Enable it in System Settings "
                 "> Privacy & Security > Microphone.");
    EXPECT_STREQ(PermissionError(Kind::cameraDenied).what(),
                 "Camera permission is required for the webcam overlay. Enable it in System "
                 "Settings > Privacy & Security > Camera.");
}

class RecordingsDirectoryTest : public ::testing::Test {
  protected:
    TempDir home;
    ScopedEnv homeEnv{"HOME", home.path().string()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", std::nullopt};
    MemoryKeyValueStore store;
    Preferences preferences{store};
};

TEST_F(RecordingsDirectoryTest, DefaultsToTheUsersVideosFolderCreatedOnDemandOrThePreference) {
    EXPECT_EQ(recordingsDirectory(preferences), home / "Videos" / "Zarvex");
    EXPECT_FALSE(std::filesystem::exists(home / "Videos"));
    EXPECT_EQ(ensureRecordingsDirectory(preferences), home / "Videos" / "Zarvex");
    EXPECT_TRUE(std::filesystem::is_directory(home / "Videos" / "Zarvex"));

    std::filesystem::create_directories(home / ".config");
    writeText(home / ".config" / "user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    EXPECT_EQ(recordingsDirectory(preferences), home / "Filme" / "Zarvex");

    // A preference is used literally; a folder that cannot be made is ignored.
    preferences.setRecordingsFolder("~/Clips");
    EXPECT_EQ(recordingsDirectory(preferences), std::filesystem::path("~/Clips"));
    const auto custom = home / "deep" / "er" / "folder";
    preferences.setRecordingsFolder(custom.string());
    EXPECT_EQ(ensureRecordingsDirectory(preferences), custom);
    EXPECT_TRUE(std::filesystem::is_directory(custom));

    writeText(home / "file", "x");
    preferences.setRecordingsFolder((home / "file" / "sub").string());
    EXPECT_EQ(ensureRecordingsDirectory(preferences), home / "file" / "sub");
}

TEST_F(RecordingsDirectoryTest, RecentRecordingsAreTheTenNewestRecordingFolders) {
    const auto directory = home / "Recordings";
    std::vector<std::filesystem::path> made;
    for (int i = 0; i < 11; ++i) {
        // Names that sort the other way round from their age.
        made.push_back(directory / ("Zarvex " + std::to_string(20 - i)));
        std::filesystem::create_directories(made.back());
        writeText(made.back() / "project.json", "{}");
        // File times tick in milliseconds: keep each folder's time its own.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::filesystem::create_directories(directory / "Not a recording");
    std::filesystem::create_directories(directory / ".hidden");
    writeText(directory / ".hidden" / "project.json", "{}");
    writeText(directory / "project.json", "{}");  // a file, not a folder

    const std::vector<std::filesystem::path> expected(made.rbegin(), made.rbegin() + 10);
    EXPECT_EQ(recentRecordings(directory, 10), expected);
    EXPECT_EQ(recentRecordings(directory, 2), (std::vector(made.rbegin(), made.rbegin() + 2)));
    EXPECT_TRUE(recentRecordings(home / "missing", 10).empty());
}

}  // namespace
}  // namespace zarvex
