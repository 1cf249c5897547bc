#include "app/update_feed.h"

#include <sodium.h>

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
    return "zarvex-update\n" + item.version + "\n" + item.build + "\n" + item.url + "\n" +
           item.notes;
}

std::vector<UpdateItem> verifiedUpdateItems(std::string_view feed,
                                            std::string_view publicKeyBase64) {
    if (sodium_init() < 0) {
        throw std::runtime_error("The update feed could not be checked.");
    }
    const nlohmann::json document = nlohmann::json::parse(feed, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("items") ||
        !document["items"].is_array()) {
        throw std::runtime_error("The update feed could not be read.");
    }
    const auto key = fromBase64(publicKeyBase64, crypto_sign_PUBLICKEYBYTES);
    std::vector<UpdateItem> items;
    if (!key) {
        return items;
    }
    for (const auto& entry : document["items"]) {
        const auto text = [&](const char* name) -> std::optional<std::string> {
            if (!entry.is_object() || !entry.contains(name) || !entry[name].is_string()) {
                return std::nullopt;
            }
            return entry[name].get<std::string>();
        };
        const auto version = text("version"), build = text("build"), notes = text("notes"),
                   url = text("url"), signature = text("signature");
        if (!version || !build || !notes || !url || !signature || !url->starts_with("https://")) {
            continue;
        }
        UpdateItem item{*version, *build, *notes, *url};
        const auto bytes = fromBase64(*signature, crypto_sign_BYTES);
        const std::string message = signedMessage(item);
        if (bytes && crypto_sign_verify_detached(
                         bytes->data(), reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), key->data()) == 0) {
            items.push_back(std::move(item));
        }
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
