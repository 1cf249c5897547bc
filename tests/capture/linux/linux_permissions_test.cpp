#include <gtest/gtest.h>

#include "capture/errors.h"
#include "capture/linux/linux_permissions.h"
#include "temp_dir.h"
#include "thrown.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using testing::ScopedEnv;
using testing::Xvfb;

TEST(LinuxPermissions, ReachableDisplayGrantsScreenCaptureUntilItGoesAway) {
    Xvfb server;
    ScopedEnv display("DISPLAY", server.display());
    LinuxPermissionAuthority authority;
    EXPECT_TRUE(authority.screenCaptureGranted());
    EXPECT_NO_THROW(ensureScreenAndMicrophone(authority));
    EXPECT_TRUE(LinuxPermissionAuthority(server.display()).screenCaptureGranted());

    server.stop();  // the same name now points at a dead display
    EXPECT_FALSE(authority.screenCaptureGranted());
    EXPECT_EQ(testing::thrown<PermissionError>([&] { ensureScreenAndMicrophone(authority); })
                  .value()
                  .kind(),
              PermissionError::Kind::screenRecordingDenied);
}

}  // namespace
}  // namespace zarvex
