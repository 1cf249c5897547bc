#include "app/bundle_info.h"

#include <cctype>

#include "zarvex_build_info.h"

namespace zarvex {
namespace {

std::optional<std::string> configured(std::string_view value) {
    if (value.empty()) {
        return std::nullopt;
    }
    return std::string(value);
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool isUrlCharacter(char c) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
        return true;
    }
    static constexpr std::string_view allowed = "-._~:/?#[]@!$&'()*+,;=";
    return allowed.find(c) != std::string_view::npos;
}

}  // namespace

const BundleInfo& BundleInfo::current() {
    static const BundleInfo info{configured(kBuildShortVersion), configured(kBuildVersion),
                                 configured(kBuildFeedURL), configured(kBuildPublicEDKey)};
    return info;
}

std::string versionText(const BundleInfo& info) {
    return "Version " + info.shortVersion.value_or("?") + " (" + info.version.value_or("?") + ")";
}

std::optional<std::string> urlScheme(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return std::nullopt;
            }
            i += 2;
        } else if (!isUrlCharacter(text[i])) {
            return std::nullopt;
        }
    }
    // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return std::string();
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = text[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return std::string();
        }
    }
    return std::string(text.substr(0, colon));
}

bool isUpdaterConfigured(const BundleInfo& info) {
    const std::string feed = info.feedURL.value_or("");
    const std::string key = info.publicEDKey.value_or("");
    if (feed.starts_with("TODO") || key.starts_with("TODO")) {
        return false;
    }
    if (key.empty()) {
        return false;
    }
    const auto scheme = urlScheme(feed);
    return scheme && *scheme == "https";
}

}  // namespace zarvex
