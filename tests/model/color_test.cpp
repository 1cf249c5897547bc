#include "model/color.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zarvex {
namespace {

void expectColor(const Color& c, int r, int g, int b) {
    EXPECT_DOUBLE_EQ(c.red, r / 255.0);
    EXPECT_DOUBLE_EQ(c.green, g / 255.0);
    EXPECT_DOUBLE_EQ(c.blue, b / 255.0);
    EXPECT_EQ(c.alpha, 1.0);
}

TEST(ColorFromHex, ReadsSixDigitsInEitherCase) {
    expectColor(colorFromHex("#1D1D1F"), 0x1D, 0x1D, 0x1F);
    expectColor(colorFromHex("#ff5f6d"), 0xFF, 0x5F, 0x6D);
}

TEST(ColorFromHex, HashesAtEitherEndAreDropped) {
    expectColor(colorFromHex("##1D1D1F"), 0x1D, 0x1D, 0x1F);
    expectColor(colorFromHex("1D1D1F"), 0x1D, 0x1D, 0x1F);
    expectColor(colorFromHex("#1D1D1F##"), 0x1D, 0x1D, 0x1F);
}

TEST(ColorFromHex, ShortFormIsNotExpanded) {
    // "FFF" is the number 0xFFF: red 0, green 0x0F, blue 0xFF.
    expectColor(colorFromHex("#FFF"), 0x00, 0x0F, 0xFF);
}

TEST(ColorFromHex, LongTextKeepsTheLowest24Bits) {
    expectColor(colorFromHex("#80FF5F6D"), 0xFF, 0x5F, 0x6D);
    // More digits than 64 bits hold saturate, as a standard scanner does.
    expectColor(colorFromHex("#123456789ABCDEF012"), 0xFF, 0xFF, 0xFF);
}

TEST(ColorFromHex, ScannerRulesForBlanksPrefixAndStops) {
    expectColor(colorFromHex("  \t0x1D1D1F"), 0x1D, 0x1D, 0x1F);
    expectColor(colorFromHex("#0X00FF00"), 0x00, 0xFF, 0x00);
    expectColor(colorFromHex("#12G456"), 0x00, 0x00, 0x12);  // stops at G
    // A blank before the hash keeps the hash, which is not a digit.
    expectColor(colorFromHex(" #FFFFFF"), 0, 0, 0);
}

TEST(ColorFromHex, TextWithoutDigitsIsBlack) {
    expectColor(colorFromHex(""), 0, 0, 0);
    expectColor(colorFromHex("#"), 0, 0, 0);
    expectColor(colorFromHex("red"), 0, 0, 0);
    expectColor(colorFromHex("0x"), 0, 0, 0);
    expectColor(colorFromHex("-FF"), 0, 0, 0);
}

TEST(HexFromColor, FormatsUpperCaseAndTruncates) {
    EXPECT_EQ(hexFromColor(Color{0x1D / 255.0, 0x2A / 255.0, 0x44 / 255.0}), "#1D2A44");
    EXPECT_EQ(hexFromColor(Color{0.999, 0, 1}), "#FE00FF");
    EXPECT_EQ(hexFromColor(Color{1, 1, 1, 0.2}), "#FFFFFF");  // alpha dropped
}

TEST(HexFromColor, OutOfRangeComponentsStaySixDigits) {
    EXPECT_EQ(hexFromColor(Color{1.5, -0.2, std::nan("")}), "#FF0000");
}

TEST(HexFromColor, RoundTripsEveryStoredText) {
    for (const char* text : {"#000000", "#FFFFFF", "#FF5F6D", "#0F2027", "#7F00FF"}) {
        EXPECT_EQ(hexFromColor(colorFromHex(text)), text);
    }
}

}  // namespace
}  // namespace zarvex
