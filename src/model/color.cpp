#include "model/color.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace zarvex {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::uint64_t scanHex(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        i + 2 < text.size() && hexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0) {
            break;
        }
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) {
            overflow = true;
        }
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return overflow ? std::numeric_limits<std::uint64_t>::max() : value;
}

int component255(double value) {
    if (!(value > 0)) {  // also catches NaN
        return 0;
    }
    if (value >= 1) {
        return 255;
    }
    return static_cast<int>(value * 255);
}

}  // namespace

Color colorFromHex(std::string_view text) {
    while (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == '#') {
        text.remove_suffix(1);
    }
    const std::uint64_t value = scanHex(text);
    return Color{static_cast<double>((value >> 16) & 0xFF) / 255.0,
                 static_cast<double>((value >> 8) & 0xFF) / 255.0,
                 static_cast<double>(value & 0xFF) / 255.0, 1.0};
}

std::string hexFromColor(const Color& color) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", component255(color.red),
                  component255(color.green), component255(color.blue));
    return buffer;
}

}  // namespace zarvex
