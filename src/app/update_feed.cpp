#include "app/update_feed.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace zarvex {
namespace {

std::optional<std::vector<unsigned char>> fromBase64(std::string_view text, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != size) {
        return std::nullopt;
    }
    return bytes;
}

std::uint64_t number(std::string_view part) {
    std::uint64_t value = 0;
    std::from_chars(part.data(), part.data() + part.size(), value);
    return value;
}

}  // namespace

std::string signedMessage(const UpdateItem& item) {
    std::string message = "zarvex-update-item-v2";
    for (const std::string* field : {&item.version, &item.build, &item.url, &item.notes}) {
        const std::uint64_t size = field->size();
        for (int shift = 56; shift >= 0; shift -= 8) {
            message += static_cast<char>((size >> shift) & 0xff);
        }
        message += *field;
    }
    return message;
}

bool isValidUpdateItem(const UpdateItem& item) {
    const auto isNumber = [](std::string_view text) {
        return !text.empty() && text.size() <= 9 &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    std::string_view version = item.version;
    for (int part = 0;; ++part) {
        const std::size_t dot = version.find('.');
        if (part == 4 || !isNumber(version.substr(0, dot))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            break;
        }
        version.remove_prefix(dot + 1);
    }
    // "https://" and a host, in characters a URL may hold.
    constexpr std::string_view kHttps = "https://";
    return isNumber(item.build) && item.url.starts_with(kHttps) &&
           item.url.size() > kHttps.size() && item.url[kHttps.size()] != '/' &&
           urlScheme(item.url).has_value();
}

std::vector<UpdateItem> verifiedUpdateItems(std::string_view feed,
                                            std::string_view publicKeyBase64) {
    if (sodium_init() < 0) {
        throw std::runtime_error("The update feed could not be checked.");
    }
    const auto key = fromBase64(publicKeyBase64, crypto_sign_PUBLICKEYBYTES);
    if (!key || crypto_core_ed25519_is_valid_point(key->data()) != 1) {
        throw std::runtime_error("This build's update key is not a usable public key.");
    }
    const nlohmann::json document = nlohmann::json::parse(feed, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("items") ||
        !document["items"].is_array()) {
        throw std::runtime_error("The update feed could not be read.");
    }
    std::vector<UpdateItem> items;
    bool anySigned = false;
    for (const auto& entry : document["items"]) {
        const auto text = [&](const char* name) -> std::optional<std::string> {
            if (!entry.is_object() || !entry.contains(name) || !entry[name].is_string()) {
                return std::nullopt;
            }
            return entry[name].get<std::string>();
        };
        const auto version = text("version"), build = text("build"), notes = text("notes"),
                   url = text("url"), signature = text("signature");
        if (!version || !build || !notes || !url || !signature) {
            continue;
        }
        UpdateItem item{*version, *build, *notes, *url};
        const auto bytes = fromBase64(*signature, crypto_sign_BYTES);
        const std::string message = signedMessage(item);
        if (!bytes || crypto_sign_verify_detached(
                          bytes->data(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size(), key->data()) != 0) {
            continue;
        }
        anySigned = true;
        if (isValidUpdateItem(item)) {
            items.push_back(std::move(item));
        }
    }
    if (items.empty() && !document["items"].empty()) {
        throw std::runtime_error(anySigned ? "No update in the feed has a valid version, build and "
                                             "https download page."
                                           : "No update in the feed carries a valid signature.");
    }
    return items;
}

int compareVersions(std::string_view a, std::string_view b) {
    while (!a.empty() || !b.empty()) {
        const auto take = [](std::string_view& text) {
            const auto dot = text.find('.');
            const std::string_view part = text.substr(0, dot);
            text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
            return number(part);
        };
        const std::uint64_t x = take(a);
        const std::uint64_t y = take(b);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

std::optional<UpdateItem> newerUpdate(const std::vector<UpdateItem>& items,
                                      const BundleInfo& running) {
    const auto newer = [](const UpdateItem& item, std::string_view version,
                          std::string_view build) {
        const int byVersion = compareVersions(item.version, version);
        return byVersion > 0 || (byVersion == 0 && compareVersions(item.build, build) > 0);
    };
    std::optional<UpdateItem> best;
    for (const auto& item : items) {
        if (newer(item, running.shortVersion.value_or("0"), running.version.value_or("0")) &&
            (!best || newer(item, best->version, best->build))) {
            best = item;
        }
    }
    return best;
}

}  // namespace zarvex
