// Installation as a desktop application and the Debian package, from the
// build tree the tests run in.

#include <gtest/gtest.h>

#include <filesystem>

#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::runProcess;

TEST(Install, PutsTheProgramItsDesktopEntryIconsAndMetainfoInPlace) {
    testing::TempDir prefix;
    const auto installed =
        runProcess({CMAKE_COMMAND, "--install", ZARVEX_BUILD_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    for (const char* file : {"bin/zarvex", "share/applications/zarvex.desktop",
                             "share/icons/hicolor/scalable/apps/zarvex.svg",
                             "share/icons/hicolor/scalable/apps/zarvex-symbolic.svg",
                             "share/metainfo/app.zarvex.Zarvex.metainfo.xml"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(prefix / file)) << file;
    }
    const std::string entry = testing::readText(prefix / "share/applications/zarvex.desktop");
    EXPECT_NE(entry.find("\nExec=zarvex\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=zarvex\n"), std::string::npos);
    EXPECT_EQ(runProcess({prefix / "bin/zarvex", "--version"}).out, "zarvex 0.1.0 (1)\n");
    if (std::filesystem::exists("/usr/bin/appstreamcli")) {
        const auto valid = runProcess({"appstreamcli", "validate", "--no-net",
                                       prefix / "share/metainfo/app.zarvex.Zarvex.metainfo.xml"});
        EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    }
}

TEST(Install, TheDebianPackageDeclaresWhatItNeedsAndRuns) {
    testing::TempDir folder;
    const auto built =
        runProcess({CPACK_COMMAND, "-G", "DEB", "--config",
                    std::string(ZARVEX_BUILD_DIR) + "/CPackConfig.cmake", "-B", folder.path()});
    ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
    const auto package = folder / "zarvex_0.1.0_amd64.deb";
    ASSERT_TRUE(std::filesystem::exists(package)) << built.out;

    const std::string depends = runProcess({"dpkg-deb", "-f", package, "Depends"}).out;
    for (const char* needed : {"qt6-qpa-plugins", "libqt6svg6", "libqt6widgets6", "libavcodec59",
                               "libpulse0", "libxcb-xinput0", "libyuv0"}) {
        EXPECT_NE(depends.find(needed), std::string::npos) << needed << " in " << depends;
    }
    const auto contents = runProcess({"dpkg-deb", "-c", package}).out;
    for (const char* file : {"./usr/bin/zarvex", "./usr/share/applications/zarvex.desktop",
                             "./usr/share/metainfo/app.zarvex.Zarvex.metainfo.xml"}) {
        EXPECT_NE(contents.find(file), std::string::npos) << file;
    }
    const auto unpacked = folder / "root";
    ASSERT_EQ(runProcess({"dpkg-deb", "-x", package, unpacked}).exitCode, 0);
    EXPECT_EQ(runProcess({unpacked / "usr/bin/zarvex", "--version"}).out, "zarvex 0.1.0 (1)\n");
}

}  // namespace
}  // namespace zarvex
