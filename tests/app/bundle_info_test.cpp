#include "app/bundle_info.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

BundleInfo withFeed(std::optional<std::string> feed, std::optional<std::string> key) {
    return BundleInfo{"1.0", "7", std::move(feed), std::move(key)};
}

TEST(UpdaterConfiguration, NeedsAnHttpsFeedAndAKey) {
    EXPECT_TRUE(isUpdaterConfigured(withFeed("https://zarvex.app/appcast.xml", "abc=")));
    EXPECT_TRUE(isUpdaterConfigured(withFeed("https://example.org/feed?x=1&y=%20", "k")));
}

TEST(UpdaterConfiguration, PlaceholdersDisableUpdates) {
    EXPECT_FALSE(isUpdaterConfigured(withFeed("TODO: feed", "abc=")));
    EXPECT_FALSE(isUpdaterConfigured(withFeed("TODOhttps://zarvex.app/a.xml", "abc=")));
    EXPECT_FALSE(isUpdaterConfigured(withFeed("https://zarvex.app/a.xml", "TODO")));
}

TEST(UpdaterConfiguration, MissingOrEmptyKey) {
    EXPECT_FALSE(isUpdaterConfigured(withFeed("https://zarvex.app/a.xml", "")));
    EXPECT_FALSE(isUpdaterConfigured(withFeed("https://zarvex.app/a.xml", std::nullopt)));
}

TEST(UpdaterConfiguration, FeedMustParseWithTheExactScheme) {
    for (const char* feed :
         {"http://zarvex.app/a.xml", "HTTPS://zarvex.app/a.xml", "Https://zarvex.app/a.xml",
          "ftp://zarvex.app/a.xml", "zarvex.app/a.xml", "//zarvex.app/a.xml", "",
          "https://zarvex.app/a b.xml", "https://zarvex.app/%zz", "https ://x"}) {
        EXPECT_FALSE(isUpdaterConfigured(withFeed(feed, "abc="))) << feed;
    }
    EXPECT_FALSE(isUpdaterConfigured(withFeed(std::nullopt, "abc=")));
    EXPECT_FALSE(isUpdaterConfigured(BundleInfo{}));
}

TEST(UpdaterConfiguration, UrlScheme) {
    EXPECT_EQ(urlScheme("https://x"), "https");
    EXPECT_EQ(urlScheme("a+b.c-d:rest"), "a+b.c-d");
    EXPECT_EQ(urlScheme("/path/only"), "");
    EXPECT_EQ(urlScheme("1https://x"), "");
    EXPECT_EQ(urlScheme("bad url"), std::nullopt);
    EXPECT_EQ(urlScheme(""), std::nullopt);
}

TEST(BundleInformation, VersionText) {
    EXPECT_EQ(versionText(BundleInfo{"1.2.0", "42", {}, {}}), "Version 1.2.0 (42)");
    EXPECT_EQ(versionText(BundleInfo{}), "Version ? (?)");
    // The built binary carries a version and, by default, no update feed.
    EXPECT_TRUE(BundleInfo::current().shortVersion);
    EXPECT_FALSE(isUpdaterConfigured(BundleInfo::current()));
}

}  // namespace
}  // namespace zarvex
