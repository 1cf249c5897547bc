#include "app/launch_at_login.h"

#include <gtest/gtest.h>

#include <fstream>

#include "event_loop.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

TEST(LaunchAtLogin, WritesAnEntryThatStartsZarvexRemovesItOrReportsTheFailure) {
    testing::TempDir config;
    const auto ran = config / "ran";
    // Characters that the entry's rules treat specially, in the program's path.
    for (const std::string folder : {"My Apps \\ \"q\" $HOME `id`", "100% done"}) {
        const auto program = config / folder / "zarvex";
        std::filesystem::create_directories(program.parent_path());
        testing::writeText(program, "#!/bin/sh\necho \"$0 $#\" > '" + ran.string() + "'\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        auto service = std::make_unique<XdgAutostart>(config / "autostart", program.string());
        const auto entry = service->entryPath();
        LaunchAtLogin login(std::move(service));
        EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);

        login.set(true);
        EXPECT_TRUE(login.isEnabled());
        EXPECT_FALSE(login.lastErrorMessage());
        EXPECT_EQ(testing::readText(entry).find("[Desktop Entry]\nType=Application\nName=Zarvex\n"),
                  0u);
        // Started as GLib's reader of desktop entries (GNOME's session) starts it.
        EXPECT_EQ(testing::runProcess({"gio", "launch", entry.string()}).exitCode, 0)
            << testing::readText(entry);
        ASSERT_TRUE(testing::processEventsUntil([&] { return std::filesystem::exists(ran); }));
        EXPECT_EQ(testing::readText(ran), program.string() + " 0\n");
        std::filesystem::remove(ran);

        // Hidden entries count as off, as desktops treat them.
        std::ofstream(entry, std::ios::app) << "Hidden=true\n";
        login.refresh();
        EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);
        login.set(true);  // not enabled: written again
        EXPECT_TRUE(login.isEnabled());

        login.set(false);
        EXPECT_FALSE(std::filesystem::exists(entry));
        EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);
    }

    // A failure is the caption, and clears on the next success.
    std::filesystem::remove_all(config / "autostart");
    std::ofstream(config / "autostart") << "a file where the folder should be";
    LaunchAtLogin login(std::make_unique<XdgAutostart>(config / "autostart", "/usr/bin/zarvex"));
    login.set(true);
    EXPECT_FALSE(login.isEnabled());
    ASSERT_TRUE(login.lastErrorMessage());
    EXPECT_TRUE(login.lastErrorMessage()->startsWith(
        QString::fromStdString("Could not create the folder " + (config / "autostart").string())))
        << login.lastErrorMessage()->toStdString();
    login.set(false);  // nothing to remove: fine
    EXPECT_FALSE(login.lastErrorMessage());
}

}  // namespace
}  // namespace zarvex
