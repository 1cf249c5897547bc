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
// by the key whose public half the build carries (base64, 32 bytes). An item
// is offered only when it is signed and valid (isValidUpdateItem).
namespace zarvex {

struct UpdateItem {
    std::string version;  // short version, "0.2.0"
    std::string build;    // build number, "12"
    std::string notes;    // release notes, plain text
    std::string url;      // download page (https)
    bool operator==(const UpdateItem&) const = default;
};

// The bytes an item's signature covers: a tag naming the format, then
// version, build, url and notes, each as its length (8 bytes, big-endian)
// followed by its bytes, so no two different items share them.
std::string signedMessage(const UpdateItem& item);

// Whether an item can be offered: a version of one to four dot-separated
// numbers ("0.2.0"), a build number ("12"), numbers of at most nine digits,
// and a download page at an https location with a host.
bool isValidUpdateItem(const UpdateItem& item);

// The signed, valid items of a feed; items that are neither are ignored.
// Throws std::runtime_error with the reason a check fails: the key is not a
// usable public key, the text is not a feed, or the feed has items and none
// of them is signed by the key and valid. A feed without items has none.
std::vector<UpdateItem> verifiedUpdateItems(std::string_view feed,
                                            std::string_view publicKeyBase64);

// Compares dotted versions numerically ("0.10" > "0.9"; missing parts are 0).
int compareVersions(std::string_view a, std::string_view b);

// The newest item newer than the running build (by version, then build
// number); nothing when the running build is the newest.
std::optional<UpdateItem> newerUpdate(const std::vector<UpdateItem>& items,
                                      const BundleInfo& running);

}  // namespace zarvex
