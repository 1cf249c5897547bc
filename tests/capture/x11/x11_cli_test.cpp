// `zarvex displays` and `zarvex windows` against a private Xvfb.

#include <gtest/gtest.h>

#include "capture/x11/x11_backend.h"
#include "process.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using testing::ProcessResult;
using testing::runProcess;
using testing::Xvfb;

ProcessResult zarvex(const std::string& display, const std::string& command) {
    return runProcess({"env", "DISPLAY=" + display, ZARVEX_BINARY, command});
}

TEST(CaptureCommands, DisplaysListsEachDisplayStartingWithItsId) {
    Xvfb server(1280, 720);
    const DisplayID id = makeX11ShareableContent({server.display(), {}, &systemClock()})
                             ->content()
                             .displays.at(0)
                             .id;
    const ProcessResult result = zarvex(server.display(), "displays");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::to_string(id) + " \"screen\" 0,0 1280x720 scale 1 primary\n");
    EXPECT_EQ(runProcess({"env", "DISPLAY=" + server.display(), ZARVEX_BINARY, "displays", "extra"})
                  .exitCode,
              2);
}

TEST(CaptureCommands, WindowsListsEachWindowStartingWithItsId) {
    Xvfb server(1280, 720);
    testing::TestWindow first(ZARVEX_TEST_WINDOW, server,
                              {.x = 10, .y = 20, .width = 300, .height = 200, .title = "Notes"});
    testing::TestWindow second(
        ZARVEX_TEST_WINDOW, server,
        {.x = 40, .y = 50, .width = 64, .height = 48, .title = "Say \"hi\"\nagain"});
    const ProcessResult result = zarvex(server.display(), "windows");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::to_string(second.id()) +
                              " \"Say \\\"hi\\\" again\" 40,50 64x48 pid " +
                              std::to_string(second.helperProcessID()) + " app \"ZarvexTest\"\n" +
                              std::to_string(first.id()) + " \"Notes\" 10,20 300x200 pid " +
                              std::to_string(first.helperProcessID()) + " app \"ZarvexTest\"\n");
}

}  // namespace
}  // namespace zarvex
