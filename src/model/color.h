#pragma once

#include <string>
#include <string_view>

namespace zarvex {

// An sRGB colour with unpremultiplied components in 0...1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static constexpr Color rgb255(int r, int g, int b, double a = 1) {
        return {r / 255.0, g / 255.0, b / 255.0, a};
    }
    bool operator==(const Color&) const = default;
};

// Reads the stored colour text ("#RRGGBB"). Never fails: leading and trailing
// '#' are dropped, then a hexadecimal number is scanned the way a standard
// number scanner does (leading blanks skipped, optional 0x, digits up to the
// first other character, saturating at 2^64 - 1); its low 24 bits are red,
// green and blue. Text without digits gives opaque black.
Color colorFromHex(std::string_view text);

// "#RRGGBB" in upper case; each component is scaled by 255 and truncated.
// Components outside 0...1 are clamped first so the text always has six digits.
// Alpha is dropped.
std::string hexFromColor(const Color& color);

}  // namespace zarvex
