#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/bundle_info.h"

// The update feed of the notify-only updater: a JSON document
//   {"items": [{"version": "0.2.0", "build": "12", "notes": "…",
//               "url": "https://…", "signature": "<base64>"}]}
// where each signature is an Ed25519 signature (base64) of signedMessage(item)
// by the key whose public half the build carries (base64, 32 bytes).
namespace zarvex {

struct UpdateItem {
    std::string version;  // short version, "0.2.0"
    std::string build;    // build number, "12"
    std::string notes;    // release notes, plain text
    std::string url;      // download page (https)
    bool operator==(const UpdateItem&) const = default;
};

// The bytes an item's signature covers.
std::string signedMessage(const UpdateItem& item);

// The items of a feed whose signature verifies with `publicKeyBase64` and
// whose download page is an https location; every other item is ignored.
// Throws std::runtime_error("The update feed could not be read.") when the
// text is not a feed.
std::vector<UpdateItem> verifiedUpdateItems(std::string_view feed,
                                            std::string_view publicKeyBase64);

// Compares dotted versions numerically ("0.10" > "0.9"; missing parts are 0).
int compareVersions(std::string_view a, std::string_view b);

// The newest item newer than the running build (by version, then build
// number); nothing when the running build is the newest.
std::optional<UpdateItem> newerUpdate(const std::vector<UpdateItem>& items,
                                      const BundleInfo& running);

}  // namespace zarvex
