#include "model/style.h"
#include "model/color.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "thrown.h"

namespace zarvex {
namespace {

using Kind = DecodeError::Kind;

Json defaultStyleJson() {
    return toJson(StyleSettings::defaultStyle());
}

// The value at a dotted path ("shadow.blur") inside `json`.
Json& member(Json& json, std::string dotted) {
    std::replace(dotted.begin(), dotted.end(), '.', '/');
    return json[Json::json_pointer("/" + dotted)];
}

// Expects decoding to fail and returns the error.
DecodeError decodeFailure(const Json& json) {
    return testing::thrown<DecodeError>([&] { decodeStyle(JsonDecoder(json, "style")); })
        .value_or(DecodeError(Kind::dataCorrupted, "", ""));
}

TEST(StyleJson, DefaultStyleCasePayloadsAndColoursEncodeExactlyAndRoundTrip) {
    StyleSettings style;
    style.background = BackgroundStyle::solid("#1D1D1F");
    style.clickRipples = false;
    style.webcam.positionX = 0.25;
    style.webcam.positionY = 0.75;
    style.aspect = AspectPreset::vertical9x16;
    style.webcam.shape = WebcamSpec::Shape::roundedRect;
    EXPECT_EQ(compactJson(toJson(style)),
              R"({"aspect":"9:16","background":{"solid":{"hex":"#1D1D1F"}},"clickRipples":false,)"
              R"("cornerRadius":24,"paddingFraction":0.07,"shadow":{"blur":44,"offsetY":14,)"
              R"("opacity":0.4},"webcam":{"corner":"Bottom Right","hidden":false,)"
              R"("marginFraction":0.035,"positionX":0.25,"positionY":0.75,"shape":"Rounded",)"
              R"("sizeFraction":0.24}})");
    EXPECT_EQ(compactJson(toJson(BackgroundStyle::image("/tmp/a \"b\".png"))),
              R"({"image":{"path":"/tmp/a \"b\".png"}})");

    // Every shape round-trips.
    std::vector<StyleSettings> styles(3);
    styles[0].background = BackgroundStyle::image("/home/u/Pictures/bg.jpg");
    styles[0].clickRipples = true;
    styles[1].background = BackgroundStyle::gradient({{"#000000"}, -30.5});
    styles[1].webcam = {true,
                        WebcamSpec::Corner::topLeft,
                        WebcamSpec::Shape::roundedRect,
                        0.3333333333333333,
                        0.1,
                        0.1,
                        1e-9};
    styles[1].aspect = AspectPreset::portrait4x5;
    styles[2].background = BackgroundStyle::gradient({{}, 0});
    styles[2].shadow = {0, 0, -5};
    styles[2].paddingFraction = 0;
    for (const auto& style : styles) {
        const std::string text = prettyJson(toJson(style));
        const StyleSettings decoded = decodeStyle(JsonDecoder(parseJson(text)));
        EXPECT_EQ(decoded, style) << text;
        EXPECT_EQ(prettyJson(toJson(decoded)), text);
    }

    // The default style encodes exactly.
    EXPECT_EQ(StyleSettings{}, StyleSettings::defaultStyle());
    // The default background is the first gradient of the first collection.
    EXPECT_EQ(StyleSettings{}.background,
              BackgroundStyle::gradient(GradientCollection::builtIn()[0].gradients[0]));
    EXPECT_EQ(
        compactJson(defaultStyleJson()),
        R"({"aspect":"Original","background":{"gradient":{"_0":{"angle":45,)"
        R"("colors":["#FF5F6D","#FFC371"]}}},"cornerRadius":24,"paddingFraction":0.07,)"
        R"("shadow":{"blur":44,"offsetY":14,"opacity":0.4},"webcam":{"corner":"Bottom Right",)"
        R"("hidden":false,"marginFraction":0.035,"shape":"Circle","sizeFraction":0.24}})");

    // Colours read from hex as one number without hashes, written as six upper-case digits.
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
    // Written back upper case, truncated, six digits.
    EXPECT_EQ(hexFromColor(Color{0x1D / 255.0, 0x2A / 255.0, 0x44 / 255.0}), "#1D2A44");
    EXPECT_EQ(hexFromColor(Color{0.999, 0, 1}), "#FE00FF");
    EXPECT_EQ(hexFromColor(Color{1, 1, 1, 0.2}), "#FFFFFF");  // alpha dropped
    EXPECT_EQ(hexFromColor(Color{1.5, -0.2, std::nan("")}), "#FF0000");
    for (const char* text : {"#000000", "#FFFFFF", "#FF5F6D", "#7F00FF"}) {
        EXPECT_EQ(hexFromColor(colorFromHex(text)), text);
    }
}

TEST(StyleJson, MissingKeysAndWrongTypesFailOptionalOnesMayBeNullValuesAreNotClamped) {
    for (const std::string path :
         {"background", "paddingFraction", "cornerRadius", "shadow", "aspect", "webcam",
          "shadow.opacity", "shadow.blur", "shadow.offsetY", "webcam.hidden", "webcam.corner",
          "webcam.shape", "webcam.sizeFraction", "webcam.marginFraction",
          "background.gradient._0.colors", "background.gradient._0.angle",
          "background.gradient._0"}) {
        Json json = defaultStyleJson();
        const std::size_t last = path.rfind('.');
        (last == std::string::npos ? json : member(json, path.substr(0, last)))
            .erase(path.substr(last + 1));
        const DecodeError error = decodeFailure(json);
        EXPECT_EQ(error.kind(), Kind::keyNotFound) << path;
        EXPECT_EQ(error.path(), "style." + path);
        EXPECT_NE(std::string(error.what()).find("style." + path), std::string::npos)
            << error.what();
    }
    // The payloads of the other background cases have required keys too.
    for (const Json& background :
         {Json{{"solid", Json::object()}}, Json{{"image", {{"file", "/x.png"}}}}}) {
        Json json = defaultStyleJson();
        json["background"] = background;
        EXPECT_EQ(decodeFailure(json).kind(), Kind::keyNotFound) << background.dump();
    }
    // The background needs exactly one known case.
    for (const Json& background : std::vector<Json>{
             Json::object(),
             {{"colour", {{"hex", "#000000"}}}},
             {{"solid", {{"hex", "#000000"}}}, {"image", {{"path", "/a.png"}}}},
             {{"solid", {{"hex", "#000000"}}},
              {"gradient", {{"_0", {{"colors", Json::array()}, {"angle", 0}}}}}},
         }) {
        Json json = defaultStyleJson();
        json["background"] = background;
        const DecodeError error = decodeFailure(json);
        EXPECT_EQ(error.kind(), Kind::typeMismatch) << background.dump();
        EXPECT_EQ(error.detail(), "Invalid number of keys found, expected one.");
        EXPECT_EQ(error.path(), "style.background");
    }
    // Unknown keys beside one known case are ignored.
    Json json = defaultStyleJson();
    json["background"] = {{"solid", {{"hex", "#123456"}, {"alpha", 1}}}, {"note", "x"}};
    EXPECT_EQ(decodeStyle(JsonDecoder(json)).background, BackgroundStyle::solid("#123456"));

    // Wrong types, nulls and unknown names fail.
    struct Case {
        const char* path;
        Json value;
        Kind kind;
    };
    for (const Case& c : std::vector<Case>{
             {"cornerRadius", "24", Kind::typeMismatch},
             {"webcam.hidden", 0, Kind::typeMismatch},
             {"paddingFraction", nullptr, Kind::valueNotFound},
             {"aspect", "3:2", Kind::dataCorrupted},
             {"aspect", "original", Kind::dataCorrupted},  // raw values are case-sensitive
             {"webcam.corner", "Middle", Kind::dataCorrupted},
             {"webcam.shape", "circle", Kind::dataCorrupted},
         }) {
        Json wrong = defaultStyleJson();
        member(wrong, c.path) = c.value;
        EXPECT_EQ(decodeFailure(wrong).kind(), c.kind) << wrong.dump();
    }
    json = defaultStyleJson();
    json["background"]["gradient"]["_0"]["colors"] = {"#000000", 5};
    EXPECT_EQ(decodeFailure(json).path(), "style.background.gradient._0.colors[1]");

    // Optional keys may be missing or null; values are not clamped.
    json = defaultStyleJson();
    json["clickRipples"] = nullptr;
    json["webcam"]["positionX"] = 0.5;
    json["webcam"]["positionY"] = nullptr;
    json["paddingFraction"] = 2.5;
    json["shadow"]["opacity"] = -1;
    json["webcam"]["sizeFraction"] = 7;
    json["extra"] = {{"anything", true}};
    const StyleSettings style = decodeStyle(JsonDecoder(json));
    EXPECT_FALSE(style.clickRipples);
    EXPECT_TRUE(style.ripplesEnabled());  // absent counts as on
    EXPECT_EQ(style.webcam.positionX, 0.5);
    EXPECT_FALSE(style.webcam.positionY);
    EXPECT_EQ(style.paddingFraction, 2.5);
    EXPECT_EQ(style.shadow.opacity, -1);
    EXPECT_EQ(style.webcam.sizeFraction, 7);
    // Re-encoding keeps absent fields absent and drops the unknown key.
    const Json again = toJson(style);
    EXPECT_FALSE(again.contains("clickRipples"));
    EXPECT_FALSE(again["webcam"].contains("positionY"));
    EXPECT_FALSE(again.contains("extra"));

    json["clickRipples"] = false;
    EXPECT_FALSE(decodeStyle(JsonDecoder(json)).ripplesEnabled());

    // Non-finite numbers are not written.
    StyleSettings infinite;
    infinite.cornerRadius = std::numeric_limits<double>::infinity();
    EXPECT_THROW(toJson(infinite), EncodeError);
    StyleSettings nan;
    nan.webcam.positionX = std::nan("");
    EXPECT_THROW(toJson(nan), EncodeError);
}

}  // namespace
}  // namespace zarvex
