#include "app/launch_at_login.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace zarvex {
namespace {

std::string read(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(LaunchAtLogin, WritesAndRemovesTheAutostartEntry) {
    testing::TempDir config;
    auto service = std::make_unique<XdgAutostart>(config / "autostart", "/opt/My Apps/zarvex");
    const auto entry = service->entryPath();
    LaunchAtLogin login(std::move(service));
    EXPECT_EQ(login.status(), LoginItemStatus::notRegistered);

    login.set(true);
    EXPECT_TRUE(login.isEnabled());
    EXPECT_FALSE(login.lastErrorMessage());
    const std::string text = read(entry);
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\nName=Zarvex\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=\"/opt/My Apps/zarvex\"\n"), std::string::npos);

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

TEST(LaunchAtLogin, AFailureIsTheCaptionAndClearsOnTheNextSuccess) {
    testing::TempDir config;
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
