#include <gtest/gtest.h>

#include "capture/errors.h"
#include "capture/linux/linux_permissions.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::ScopedEnv;

TEST(LinuxPermissions, WithoutAUsableDisplayScreenCaptureIsRefusedAndDevicesAreAuthorised) {
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv session("XDG_SESSION_TYPE", "x11");
    ScopedEnv waylandDisplay("WAYLAND_DISPLAY", std::nullopt);
    LinuxPermissionAuthority authority;
    EXPECT_FALSE(authority.screenCaptureGranted());
    EXPECT_FALSE(authority.requestScreenCapture());
    const auto refused = [&] {
        return testing::thrown<PermissionError>([&] { ensureScreenAndMicrophone(authority); })
            .value();
    };
    EXPECT_EQ(refused().kind(), PermissionError::Kind::screenRecordingDenied);
    EXPECT_STREQ(refused().what(),
                 "Zarvex needs an X11 display to record: DISPLAY is not set or the display "
                 "cannot be opened.");
    // A Wayland session, named either way, leaves the asking to the desktop's
    // dialog, with or without Xwayland's display.
    for (const auto& [variable, value] :
         {std::pair{"XDG_SESSION_TYPE", "wayland"}, std::pair{"WAYLAND_DISPLAY", "wayland-1"}}) {
        ScopedEnv wayland(variable, value);
        EXPECT_TRUE(authority.screenCaptureGranted());
        EXPECT_NO_THROW(ensureScreenAndMicrophone(authority));
    }
    {
        ScopedEnv empty("WAYLAND_DISPLAY", "");
        EXPECT_FALSE(authority.screenCaptureGranted());
    }
    EXPECT_FALSE(LinuxPermissionAuthority("no display here").screenCaptureGranted());
    EXPECT_FALSE(LinuxPermissionAuthority("").screenCaptureGranted());

    // The microphone and the camera are always authorised, whether or not an
    // audio server or a camera exists.
    ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/native");
    for (const auto kind : {CaptureDeviceKind::audio, CaptureDeviceKind::video}) {
        EXPECT_EQ(authority.status(kind), AuthorizationStatus::authorized);
        EXPECT_TRUE(authority.requestAccess(kind));
    }
    EXPECT_NO_THROW(ensureCamera(authority));
}

}  // namespace
}  // namespace zarvex
