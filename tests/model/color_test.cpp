#include "model/color.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zarvex {
namespace {

TEST(ColorFromHex, ReadsTheTextAsOneHexNumberWithoutHashes) {
    struct Case {
        const char* text;
        std::uint32_t rgb;
    };
    for (const Case& c : {
             Case{"#1D1D1F", 0x1D1D1F},
             {"#ff5f6d", 0xFF5F6D},
             {"##1D1D1F", 0x1D1D1F},
             {"1D1D1F", 0x1D1D1F},
             {"#1D1D1F##", 0x1D1D1F},
             {"#FFF", 0x000FFF},                 // not expanded: the number 0xFFF
             {"#80FF5F6D", 0xFF5F6D},            // eight digits: the lowest 24 bits
             {"#123456789ABCDEF012", 0xFFFFFF},  // beyond 64 bits: saturates
             {"  \t0x1D1D1F", 0x1D1D1F},
             {"#0X00FF00", 0x00FF00},
             {"#12G456", 0x000012},  // stops at G
             {" #FFFFFF", 0},        // a blank before the hash keeps it
             {"", 0},
             {"#", 0},
             {"red", 0},
             {"0x", 0},
             {"-FF", 0},
         }) {
        const Color color = colorFromHex(c.text);
        EXPECT_DOUBLE_EQ(color.red, (c.rgb >> 16 & 0xFF) / 255.0) << c.text;
        EXPECT_DOUBLE_EQ(color.green, (c.rgb >> 8 & 0xFF) / 255.0) << c.text;
        EXPECT_DOUBLE_EQ(color.blue, (c.rgb & 0xFF) / 255.0) << c.text;
        EXPECT_EQ(color.alpha, 1.0);
    }
}

TEST(HexFromColor, UpperCaseTruncatedSixDigits) {
    EXPECT_EQ(hexFromColor(Color{0x1D / 255.0, 0x2A / 255.0, 0x44 / 255.0}), "#1D2A44");
    EXPECT_EQ(hexFromColor(Color{0.999, 0, 1}), "#FE00FF");
    EXPECT_EQ(hexFromColor(Color{1, 1, 1, 0.2}), "#FFFFFF");  // alpha dropped
    EXPECT_EQ(hexFromColor(Color{1.5, -0.2, std::nan("")}), "#FF0000");
    for (const char* text : {"#000000", "#FFFFFF", "#FF5F6D", "#7F00FF"}) {
        EXPECT_EQ(hexFromColor(colorFromHex(text)), text);
    }
}

}  // namespace
}  // namespace zarvex
