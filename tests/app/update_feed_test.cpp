#include "app/update_feed.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <nlohmann/json.hpp>

#include "thrown.h"
#include "update_feed_signer.h"

namespace zarvex {
namespace {

using testing::UpdateFeedSigner;

std::string failure(std::string_view feed, std::string_view key) {
    return testing::thrownText([&] { verifiedUpdateItems(feed, key); });
}

TEST(UpdateFeed, KeepsOnlySignedValidItemsAndSaysWhyNoneIsLeft) {
    UpdateFeedSigner signer, stranger;
    const UpdateItem good{"0.2.0", "12", "Faster", "https://zarvex.app/0.2.0"};
    nlohmann::json feed{{"items",
                         {signer.entry(good),
                          stranger.entry({"0.9.0", "1", "x", "https://e/"}),
                          {{"version", "1.0"}},
                          "junk"}}};
    auto tampered = signer.entry(good);
    tampered["notes"] = "Changed after signing";
    feed["items"].push_back(tampered);
    // Signed, but not something to offer.
    for (const char* version : {"0.3-beta", "1.2.3.4.5", "1..2", "1234567890"}) {
        feed["items"].push_back(signer.entry({version, "1", "", "https://z/"}));
    }
    for (const char* url : {"http://z/", "https:///path", "https://a b/"}) {
        feed["items"].push_back(signer.entry({"0.3", "1", "", url}));
    }
    feed["items"].push_back(signer.entry({"0.3", "1a", "", "https://z/"}));
    EXPECT_EQ(verifiedUpdateItems(feed.dump(), signer.publicKey()), std::vector{good});
    EXPECT_TRUE(isValidUpdateItem({"1.2.3.4", "123456789", "", "https://z"}));

    // What leaves nothing to offer is a failure, with its reason.
    const std::string zeroKey(44, 'A');  // 32 bytes, not a point of the curve
    for (const std::string& key : {std::string("not a key"), zeroKey}) {
        EXPECT_EQ(failure(feed.dump(), key), "This build's update key is not a usable public key.");
    }
    feed["items"].erase(0);
    EXPECT_EQ(failure(feed.dump(), signer.publicKey()),
              "No update in the feed has a valid version, build and https download page.");
    EXPECT_TRUE(
        verifiedUpdateItems("{\"items\": []}", signer.publicKey()).empty());  // no release yet
    for (const char* broken : {"", "[]", "{\"items\": 3}", "{\"item\": []}", "<rss/>"}) {
        EXPECT_EQ(failure(broken, signer.publicKey()), "The update feed could not be read.");
    }

    // The signatures cover length-prefixed fields.
    using namespace std::string_literals;
    EXPECT_EQ(signedMessage({"0.2", "7", "Hi", "https://z/"}),
              "zarvex-update-item-v2"s + "\0\0\0\0\0\0\0\x03"s + "0.2" + "\0\0\0\0\0\0\0\x01"s +
                  "7" + "\0\0\0\0\0\0\0\x0a"s + "https://z/" + "\0\0\0\0\0\0\0\x02"s + "Hi");
}

TEST(UpdateFeed, NewerByVersionThenBuild) {
    EXPECT_GT(compareVersions("0.10", "0.9"), 0);
    EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
    EXPECT_LT(compareVersions("1.2", "1.2.1"), 0);
    const BundleInfo running{"0.2.0", "7", {}, {}};
    const UpdateItem sameBuild{"0.2.0", "7", "", ""}, nextBuild{"0.2.0", "8", "", ""},
        minor{"0.3.0", "1", "", ""}, older{"0.1.9", "99", "", ""};
    EXPECT_EQ(newerUpdate({sameBuild, older}, running), std::nullopt);
    EXPECT_EQ(newerUpdate({sameBuild, nextBuild}, running), nextBuild);
    EXPECT_EQ(newerUpdate({minor, nextBuild, older}, running), minor);
}

}  // namespace
}  // namespace zarvex
