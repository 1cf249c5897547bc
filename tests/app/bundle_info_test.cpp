#include "app/bundle_info.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

using Text = std::optional<std::string>;

TEST(UpdaterConfiguration, NeedsAnHttpsFeedAndAKeyWithoutPlaceholders) {
    struct Case {
        Text feed;
        Text key;
        bool configured;
    };
    for (const Case& c : std::vector<Case>{
             {"https://zarvex.app/appcast.xml", "abc=", true},
             {"https://example.org/feed?x=1&y=%20", "k", true},
             {"TODO: feed", "abc=", false},
             {"TODOhttps://zarvex.app/a.xml", "abc=", false},
             {"https://zarvex.app/a.xml", "TODO", false},
             {"https://zarvex.app/a.xml", "", false},
             {"https://zarvex.app/a.xml", std::nullopt, false},
             {std::nullopt, "abc=", false},
             {"http://zarvex.app/a.xml", "abc=", false},
             {"HTTPS://zarvex.app/a.xml", "abc=", false},
             {"Https://zarvex.app/a.xml", "abc=", false},
             {"ftp://zarvex.app/a.xml", "abc=", false},
             {"zarvex.app/a.xml", "abc=", false},
             {"//zarvex.app/a.xml", "abc=", false},
             {"", "abc=", false},
             {"https://zarvex.app/a b.xml", "abc=", false},
             {"https://zarvex.app/%zz", "abc=", false},
             {"https ://x", "abc=", false},
         }) {
        EXPECT_EQ(isUpdaterConfigured(BundleInfo{"1.0", "7", c.feed, c.key}), c.configured)
            << c.feed.value_or("(none)") << " / " << c.key.value_or("(none)");
    }
    // The built binary carries a version and, by default, no update feed.
    EXPECT_TRUE(BundleInfo::current().shortVersion);
    EXPECT_FALSE(isUpdaterConfigured(BundleInfo::current()));

    // The scheme those URLs are judged by.
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
}

}  // namespace
}  // namespace zarvex
