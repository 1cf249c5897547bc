#include "app/update_feed.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <nlohmann/json.hpp>

#include "update_feed_signer.h"

namespace zarvex {
namespace {

using testing::UpdateFeedSigner;

TEST(UpdateFeed, KeepsOnlyItemsSignedByTheBuildsKeyWithHttpsPages) {
    UpdateFeedSigner signer, stranger;
    const UpdateItem good{"0.2.0", "12", "Faster", "https://zarvex.app/0.2.0"};
    UpdateItem tampered = good;
    const UpdateItem insecure{"0.3.0", "1", "Plain", "http://zarvex.app/0.3.0"};
    nlohmann::json feed{{"items",
                         {signer.entry(good),
                          stranger.entry({"0.9.0", "1", "x", "https://e/"}),
                          signer.entry(insecure),
                          {{"version", "1.0"}},
                          "junk"}}};
    auto tamperedEntry = signer.entry(tampered);
    tamperedEntry["notes"] = "Changed after signing";
    feed["items"].push_back(tamperedEntry);

    EXPECT_EQ(verifiedUpdateItems(feed.dump(), signer.publicKey()), std::vector{good});
    EXPECT_TRUE(verifiedUpdateItems(feed.dump(), "not a key").empty());
    for (const char* broken : {"", "[]", "{\"items\": 3}", "{\"item\": []}", "<rss/>"}) {
        EXPECT_THROW(verifiedUpdateItems(broken, signer.publicKey()), std::runtime_error) << broken;
    }
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
