#include <gtest/gtest.h>

#include "capture/displays.h"
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
using Strings = std::vector<std::string>;

PermissionError::Kind refusal(FakePermissionAuthority& authority, bool camera = false) {
    try {
        camera ? ensureCamera(authority) : ensureScreenAndMicrophone(authority);
    } catch (const PermissionError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no permission error";
    return {};
}

TEST(Permissions, AllGrantedPassesWithoutPrompting) {
    FakePermissionAuthority authority;
    EXPECT_NO_THROW(ensureScreenAndMicrophone(authority));
    EXPECT_EQ(authority.calls, (Strings{"screen?", "audio?"}));
}

TEST(Permissions, ScreenIsCheckedFirst) {
    FakePermissionAuthority authority;
    authority.screenGranted = false;
    authority.screenRequestGrants = false;
    authority.audioStatus = AuthorizationStatus::denied;
    EXPECT_EQ(refusal(authority), PermissionError::Kind::screenRecordingDenied);
    EXPECT_EQ(authority.calls, (Strings{"screen?", "request screen"}));
}

TEST(Permissions, ScreenRequestThatGrantsGoesOnToTheMicrophone) {
    FakePermissionAuthority authority;
    authority.screenGranted = false;
    EXPECT_NO_THROW(ensureScreenAndMicrophone(authority));
    EXPECT_EQ(authority.calls, (Strings{"screen?", "request screen", "audio?"}));
}

TEST(Permissions, MicrophoneStatuses) {
    FakePermissionAuthority authority;
    authority.audioStatus = AuthorizationStatus::restricted;
    EXPECT_EQ(refusal(authority), PermissionError::Kind::microphoneDenied);
    EXPECT_EQ(authority.calls, (Strings{"screen?", "audio?"}));  // no prompt

    authority = {};
    authority.audioStatus = AuthorizationStatus::denied;
    EXPECT_EQ(refusal(authority), PermissionError::Kind::microphoneDenied);

    authority = {};
    authority.audioStatus = AuthorizationStatus::notDetermined;
    authority.audioRequestGrants = false;
    EXPECT_EQ(refusal(authority), PermissionError::Kind::microphoneDenied);
    EXPECT_EQ(authority.calls, (Strings{"screen?", "audio?", "request audio"}));

    authority = {};
    authority.audioStatus = AuthorizationStatus::notDetermined;
    EXPECT_NO_THROW(ensureScreenAndMicrophone(authority));
}

TEST(Permissions, CameraFollowsTheMicrophoneRules) {
    FakePermissionAuthority authority;
    authority.videoStatus = AuthorizationStatus::notDetermined;
    authority.videoRequestGrants = false;
    EXPECT_EQ(refusal(authority, true), PermissionError::Kind::cameraDenied);
    EXPECT_EQ(authority.calls, (Strings{"video?", "request video"}));
    authority = {};
    EXPECT_NO_THROW(ensureCamera(authority));
}

TEST(CaptureErrors, Descriptions) {
    EXPECT_STREQ(RecorderError::writerFailed("No frames were captured.").what(),
                 "Recording failed: No frames were captured.");
    EXPECT_EQ(RecorderError::writerFailed("x").payload(), "x");
    EXPECT_STREQ(RecorderError::noDisplay().what(), "No display available to record.");
    EXPECT_STREQ(RecorderError::windowGone().what(), "The selected window is no longer on screen.");
    EXPECT_STREQ(PermissionError(PermissionError::Kind::microphoneDenied).what(),
                 "Microphone permission is required for narration. Enable it in System Settings "
                 "> Privacy & Security > Microphone.");
    EXPECT_STREQ(PermissionError(PermissionError::Kind::screenRecordingDenied).what(),
                 "Screen Recording permission is required. Enable it in System Settings > Privacy "
                 "& Security > Screen Recording, then relaunch Zarvex.");
    EXPECT_STREQ(PermissionError(PermissionError::Kind::cameraDenied).what(),
                 "Camera permission is required for the webcam overlay. Enable it in System "
                 "Settings > Privacy & Security > Camera.");
}

TEST(CaptureRecords, ModesInOrder) {
    const auto modes = allCases<CaptureMode>();
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(rawValue(modes[0]), "Screen");
    EXPECT_EQ(rawValue(modes[1]), "Window");
    EXPECT_EQ(rawValue(modes[2]), "Region");
    const SelectionResult a{RegionTarget{7, {10, 20, 300, 200}}, true, false, false, true};
    SelectionResult b = a;
    EXPECT_EQ(a, b);
    b.target = RegionTarget{7, {10, 20, 300, 201}};
    EXPECT_NE(a, b);
    EXPECT_NE(CaptureTarget(DisplayTarget{1}), CaptureTarget(WindowTarget{1}));
}

TEST(Coordinates, FlipBetweenDesktopAndWindowServer) {
    const std::vector<DisplayInfo> displays{{1, {0, 0, 1440, 900}, 2, "A"},
                                            {2, {1440, -180, 1920, 1080}, 1, "B"}};
    const double h = primaryDisplayHeight(displays);
    EXPECT_EQ(h, 900);
    EXPECT_EQ(flipPoint({50, 100}, h), (Point{50, 800}));
    EXPECT_EQ(flipRect({10, 100, 200, 50}, h), (Rect{10, 750, 200, 50}));
    // The same formula converts back.
    EXPECT_EQ(flipRect(flipRect({10, 100, 200, 50}, h), h), (Rect{10, 100, 200, 50}));
    // The second display's frame in window-server coordinates.
    EXPECT_EQ(flipRect(displays[1].frame, h), (Rect{1440, 0, 1920, 1080}));
    EXPECT_EQ(primaryDisplayHeight({}), 0);
    EXPECT_EQ(flipPoint({3, 4}, 0), (Point{3, -4}));
}

TEST(Coordinates, DisplayContainingAPoint) {
    const std::vector<DisplayInfo> displays{{1, {0, 0, 1440, 900}, 2, "A"},
                                            {2, {1440, 0, 1920, 1080}, 1, "B"}};
    EXPECT_EQ(displayContaining({1439, 899}, displays)->id, 1u);
    EXPECT_EQ(displayContaining({1440, 10}, displays)->id, 2u);  // left edge belongs to B
    EXPECT_EQ(displayContaining({-5, -5}, displays)->id, 1u);    // none: the main display
    EXPECT_EQ(displayContaining({-5, -5}, displays, 1)->id, 2u);
    EXPECT_FALSE(displayContaining({0, 0}, {}));
}

class RecordingsDirectoryTest : public ::testing::Test {
  protected:
    TempDir home;
    ScopedEnv homeEnv{"HOME", home.path().string()};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", std::nullopt};
    MemoryKeyValueStore store;
    Preferences preferences{store};
};

TEST_F(RecordingsDirectoryTest, DefaultsToVideosZarvexCreatedOnDemand) {
    EXPECT_EQ(recordingsDirectory(preferences), home / "Videos" / "Zarvex");
    EXPECT_FALSE(std::filesystem::exists(home / "Videos"));
    EXPECT_EQ(ensureRecordingsDirectory(preferences), home / "Videos" / "Zarvex");
    EXPECT_TRUE(std::filesystem::is_directory(home / "Videos" / "Zarvex"));
    preferences.setRecordingsFolder("");
    EXPECT_EQ(recordingsDirectory(preferences), home / "Videos" / "Zarvex");
}

TEST_F(RecordingsDirectoryTest, FollowsTheUserVideosFolder) {
    std::filesystem::create_directories(home / ".config");
    writeText(home / ".config" / "user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    EXPECT_EQ(recordingsDirectory(preferences), home / "Filme" / "Zarvex");
}

TEST_F(RecordingsDirectoryTest, PreferenceIsUsedLiterally) {
    preferences.setRecordingsFolder("~/Clips");
    EXPECT_EQ(recordingsDirectory(preferences), std::filesystem::path("~/Clips"));
    const auto custom = home / "deep" / "er" / "folder";
    preferences.setRecordingsFolder(custom.string());
    EXPECT_EQ(ensureRecordingsDirectory(preferences), custom);
    EXPECT_TRUE(std::filesystem::is_directory(custom));
}

TEST_F(RecordingsDirectoryTest, CreationFailureIsIgnored) {
    writeText(home / "file", "x");
    preferences.setRecordingsFolder((home / "file" / "sub").string());
    EXPECT_EQ(ensureRecordingsDirectory(preferences), home / "file" / "sub");
}

}  // namespace
}  // namespace zarvex
