#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zarvex {

// Deployment values fixed when the program is built. A value that was not set
// is absent.
struct BundleInfo {
    std::optional<std::string> shortVersion;  // "0.1.0"
    std::optional<std::string> version;       // build number
    std::optional<std::string> feedURL;       // update feed
    std::optional<std::string> publicEDKey;   // public key that signs updates

    // The values this binary was built with.
    static const BundleInfo& current();
};

// "Version 0.1.0 (1)"; a missing value shows as "?".
std::string versionText(const BundleInfo& info);

// Whether the bundle carries a usable update configuration: neither value a
// "TODO" placeholder, a non-empty key, and a feed that parses as a URL whose
// scheme is exactly "https".
bool isUpdaterConfigured(const BundleInfo& info);

// The scheme of a URL reference; nothing when the text is not a valid URL
// reference, an empty scheme when it has none.
std::optional<std::string> urlScheme(std::string_view text);

}  // namespace zarvex
