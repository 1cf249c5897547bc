#include <gtest/gtest.h>

#include "capture/errors.h"
#include "capture/linux/linux_permissions.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::ScopedEnv;

TEST(LinuxPermissions, WithoutAUsableDisplayScreenCaptureIsRefused) {
    ScopedEnv display("DISPLAY", std::nullopt);
    LinuxPermissionAuthority authority;
    EXPECT_FALSE(authority.screenCaptureGranted());
    EXPECT_FALSE(authority.requestScreenCapture());
    EXPECT_EQ(testing::thrown<PermissionError>([&] { ensureScreenAndMicrophone(authority); })
                  .value()
                  .kind(),
              PermissionError::Kind::screenRecordingDenied);
    EXPECT_FALSE(LinuxPermissionAuthority("no display here").screenCaptureGranted());
    EXPECT_FALSE(LinuxPermissionAuthority("").screenCaptureGranted());
}

TEST(LinuxPermissions, MicrophoneAndCameraAreAlwaysAuthorised) {
    // Whether or not an audio server or a camera exists.
    ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/native");
    LinuxPermissionAuthority authority;
    for (const auto kind : {CaptureDeviceKind::audio, CaptureDeviceKind::video}) {
        EXPECT_EQ(authority.status(kind), AuthorizationStatus::authorized);
        EXPECT_TRUE(authority.requestAccess(kind));
    }
    EXPECT_NO_THROW(ensureCamera(authority));
}

}  // namespace
}  // namespace zarvex
