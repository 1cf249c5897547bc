#include "render/export_naming.h"

#include <unicode/smpdtfmt.h>

#include <array>
#include <cstdio>
#include <random>

namespace zarvex {
namespace {

void replaceAll(std::string& text, std::string_view token, std::string_view replacement) {
    std::size_t at = 0;
    while ((at = text.find(token, at)) != std::string::npos) {
        text.replace(at, token.size(), replacement);
        at += replacement.size();
    }
}

}  // namespace

std::string storedExportPattern(const Preferences& preferences) {
    return preferences.exportFilenamePattern();
}

std::string formatExportDateTime(std::chrono::system_clock::time_point time) {
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(icu::UnicodeString::fromUTF8("yyyy-MM-dd HH.mm.ss"), status);
    if (U_FAILURE(status)) {
        return {};
    }
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    icu::UnicodeString formatted;
    format.format(static_cast<UDate>(milliseconds), formatted);
    std::string text;
    formatted.toUTF8String(text);
    return text;
}

std::string makeUUIDString() {
    std::random_device device;
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t word = device();
        for (std::size_t j = 0; j < 4; ++j) {
            bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
    return text;
}

std::string expandExportPattern(std::string_view pattern, std::string_view name,
                                std::chrono::system_clock::time_point now, std::string_view uuid) {
    std::string text(pattern);
    replaceAll(text, "{{name}}", name);
    replaceAll(text, "{{datetime}}", formatExportDateTime(now));
    replaceAll(text, "{{UUID}}", uuid);
    return text;
}

std::string expandExportPattern(std::string_view pattern, std::string_view name) {
    return expandExportPattern(pattern, name, std::chrono::system_clock::now(), makeUUIDString());
}

std::string proposedExportFileName(std::string_view pattern, std::string_view recordingName) {
    return expandExportPattern(pattern, recordingName) + ".mp4";
}

}  // namespace zarvex
