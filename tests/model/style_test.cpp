#include "model/style.h"

#include <cmath>

#include <gtest/gtest.h>

namespace zarvex {
namespace {

StyleSettings decodeText(std::string_view text) {
    const Json json = parseJson(text);
    return decodeStyle(JsonDecoder(json));
}

Json defaultStyleJson() {
    return toJson(StyleSettings::defaultStyle());
}

// Expects decoding to fail and returns the error.
DecodeError decodeFailure(const Json& json) {
    try {
        decodeStyle(JsonDecoder(json, "style"));
    } catch (const DecodeError& error) {
        return error;
    }
    ADD_FAILURE() << "decoding succeeded: " << json.dump();
    return DecodeError(DecodeError::Kind::dataCorrupted, "", "");
}

TEST(StyleSettings, DefaultValues) {
    const StyleSettings style;
    ASSERT_NE(style.background.asGradient(), nullptr);
    EXPECT_EQ(style.background.asGradient()->colors,
              (std::vector<std::string>{"#FF5F6D", "#FFC371"}));
    EXPECT_EQ(style.background.asGradient()->angle, 45);
    EXPECT_EQ(style.paddingFraction, 0.07);
    EXPECT_EQ(style.cornerRadius, 24);
    EXPECT_EQ(style.shadow, (ShadowSpec{0.4, 44, 14}));
    EXPECT_EQ(style.aspect, AspectPreset::original);
    EXPECT_FALSE(style.webcam.hidden);
    EXPECT_EQ(style.webcam.corner, WebcamSpec::Corner::bottomRight);
    EXPECT_EQ(style.webcam.shape, WebcamSpec::Shape::circle);
    EXPECT_EQ(style.webcam.sizeFraction, 0.24);
    EXPECT_EQ(style.webcam.marginFraction, 0.035);
    EXPECT_FALSE(style.webcam.positionX);
    EXPECT_FALSE(style.clickRipples);
    EXPECT_TRUE(style.ripplesEnabled());
    EXPECT_EQ(style, StyleSettings::defaultStyle());
    // The default background is the first gradient of the first collection.
    EXPECT_EQ(*style.background.asGradient(), GradientCollection::builtIn()[0].gradients[0]);
}

TEST(StyleSettings, EqualityLooksAtEveryField) {
    StyleSettings a, b;
    b.clickRipples = true;
    EXPECT_NE(a, b);  // absent vs present
    a.clickRipples = true;
    EXPECT_EQ(a, b);
    b.webcam.positionX = 0.5;
    EXPECT_NE(a, b);
    a.webcam.positionX = 0.5;
    EXPECT_EQ(a, b);
    // Same colours, different case → different background.
    EXPECT_NE(BackgroundStyle::solid("#ffffff"), BackgroundStyle::solid("#FFFFFF"));
    EXPECT_NE(BackgroundStyle::gradient({{"#000000"}, 0}), BackgroundStyle::solid("#000000"));
    EXPECT_NE(BackgroundStyle::gradient({{"#000000", "#FFFFFF"}, 0}),
              BackgroundStyle::gradient({{"#FFFFFF", "#000000"}, 0}));
    EXPECT_EQ(BackgroundStyle::image("/a.png"), BackgroundStyle::image("/a.png"));
}

TEST(StyleEnums, CasesInOrderWithRawValues) {
    const auto aspects = allCases<AspectPreset>();
    ASSERT_EQ(aspects.size(), 5u);
    std::vector<std::string_view> raws;
    for (auto a : aspects) {
        raws.push_back(rawValue(a));
    }
    EXPECT_EQ(raws, (std::vector<std::string_view>{"Original", "16:9", "1:1", "9:16", "4:5"}));
    EXPECT_EQ(rawValue(WebcamSpec::Corner::topLeft), "Top Left");
    EXPECT_EQ(allCases<WebcamSpec::Corner>()[3], WebcamSpec::Corner::bottomRight);
    EXPECT_EQ(rawValue(WebcamSpec::Shape::roundedRect), "Rounded");
    EXPECT_EQ(fromRawValue<AspectPreset>("4:5"), AspectPreset::portrait4x5);
    EXPECT_EQ(fromRawValue<AspectPreset>("original"), std::nullopt);
}

TEST(GradientCollections, BuiltInListAndSwatches) {
    const auto& collections = GradientCollection::builtIn();
    ASSERT_EQ(collections.size(), 6u);
    std::vector<std::string> names;
    for (const auto& c : collections) {
        names.push_back(c.name);
        EXPECT_EQ(c.gradients.size(), 4u) << c.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Energy", "Midnight", "Radiant", "Iridescent",
                                               "Spring", "Sunset"}));
    EXPECT_EQ(collections[3].gradients[1], (GradientSpec{{"#12C2E9", "#C471ED", "#F64F59"}, 45}));
    EXPECT_EQ(collections[5].gradients[3], (GradientSpec{{"#355C7D", "#6C5B7B", "#C06C84"}, 45}));
    EXPECT_EQ(collections[4].gradients[3], (GradientSpec{{"#DCE35B", "#45B649"}, 30}));
    EXPECT_EQ(&GradientCollection::builtIn(), &collections);  // built once
    EXPECT_EQ(solidSwatches(), (std::vector<std::string>{"#FFFFFF", "#F6F1E7", "#D9DDE3", "#1D2A44",
                                                         "#1D1D1F", "#000000"}));
}

TEST(StyleJson, DefaultStyleEncodesExactly) {
    EXPECT_EQ(prettyJson(defaultStyleJson()), R"({
  "aspect": "Original",
  "background": {
    "gradient": {
      "_0": {
        "angle": 45,
        "colors": [
          "#FF5F6D",
          "#FFC371"
        ]
      }
    }
  },
  "cornerRadius": 24,
  "paddingFraction": 0.07,
  "shadow": {
    "blur": 44,
    "offsetY": 14,
    "opacity": 0.4
  },
  "webcam": {
    "corner": "Bottom Right",
    "hidden": false,
    "marginFraction": 0.035,
    "shape": "Circle",
    "sizeFraction": 0.24
  }
})");
}

TEST(StyleJson, CasePayloadsAndOptionalFields) {
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
}

TEST(StyleJson, RoundTripsEveryShape) {
    std::vector<StyleSettings> styles(4);
    styles[1].background = BackgroundStyle::image("/home/u/Pictures/bg.jpg");
    styles[1].clickRipples = true;
    styles[2].background = BackgroundStyle::gradient({{"#000000"}, -30.5});
    styles[2].webcam = {true,
                        WebcamSpec::Corner::topLeft,
                        WebcamSpec::Shape::roundedRect,
                        0.3333333333333333,
                        0.1,
                        0.1,
                        1e-9};
    styles[3].background = BackgroundStyle::gradient({{}, 0});
    styles[3].shadow = {0, 0, -5};
    styles[3].paddingFraction = 0;
    for (const auto& style : styles) {
        const std::string text = prettyJson(toJson(style));
        const StyleSettings decoded = decodeText(text);
        EXPECT_EQ(decoded, style) << text;
        EXPECT_EQ(prettyJson(toJson(decoded)), text);
    }
}

TEST(StyleJson, EveryRequiredKeyIsNamedWhenMissing) {
    const std::vector<std::vector<std::string>> required{{"background"},
                                                         {"paddingFraction"},
                                                         {"cornerRadius"},
                                                         {"shadow"},
                                                         {"aspect"},
                                                         {"webcam"},
                                                         {"shadow", "opacity"},
                                                         {"shadow", "blur"},
                                                         {"shadow", "offsetY"},
                                                         {"webcam", "hidden"},
                                                         {"webcam", "corner"},
                                                         {"webcam", "shape"},
                                                         {"webcam", "sizeFraction"},
                                                         {"webcam", "marginFraction"},
                                                         {"background", "gradient", "_0", "colors"},
                                                         {"background", "gradient", "_0", "angle"},
                                                         {"background", "gradient", "_0"}};
    for (const auto& path : required) {
        Json json = defaultStyleJson();
        Json* parent = &json;
        std::string dotted = "style";
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            parent = &(*parent)[path[i]];
            dotted += "." + path[i];
        }
        parent->erase(path.back());
        dotted += "." + path.back();
        const DecodeError error = decodeFailure(json);
        EXPECT_EQ(error.kind(), DecodeError::Kind::keyNotFound) << dotted;
        EXPECT_EQ(error.path(), dotted);
        EXPECT_NE(std::string(error.what()).find(dotted), std::string::npos) << error.what();
    }
}

TEST(StyleJson, PayloadKeysAreRequired) {
    const Json solid = {{"solid", Json::object()}};
    const Json image = {{"image", {{"file", "/x.png"}}}};
    for (const Json& background : {solid, image}) {
        Json json = defaultStyleJson();
        json["background"] = background;
        EXPECT_EQ(decodeFailure(json).kind(), DecodeError::Kind::keyNotFound);
    }
    Json json = defaultStyleJson();
    json["background"] = {{"gradient", {{"colors", {"#000000"}}, {"angle", 0}}}};
    EXPECT_EQ(decodeFailure(json).path(), "style.background.gradient._0");
}

TEST(StyleJson, BackgroundNeedsExactlyOneKnownCase) {
    const std::vector<Json> wrong{
        Json::object(),
        {{"colour", {{"hex", "#000000"}}}},
        {{"solid", {{"hex", "#000000"}}}, {"image", {{"path", "/a.png"}}}},
        {{"solid", {{"hex", "#000000"}}},
         {"gradient", {{"_0", {{"colors", Json::array()}, {"angle", 0}}}}}},
    };
    for (const auto& background : wrong) {
        Json json = defaultStyleJson();
        json["background"] = background;
        const DecodeError error = decodeFailure(json);
        EXPECT_EQ(error.kind(), DecodeError::Kind::typeMismatch) << background.dump();
        EXPECT_EQ(error.detail(), "Invalid number of keys found, expected one.");
        EXPECT_EQ(error.path(), "style.background");
    }
    // Unknown keys beside one known case are ignored.
    Json json = defaultStyleJson();
    json["background"] = {{"solid", {{"hex", "#123456"}, {"alpha", 1}}}, {"note", "x"}};
    EXPECT_EQ(decodeStyle(JsonDecoder(json)).background, BackgroundStyle::solid("#123456"));
}

TEST(StyleJson, UnknownEnumerationValuesFail) {
    for (const auto& [key, value] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"aspect"}, "3:2"},
             {{"aspect"}, "original"},
             {{"webcam", "corner"}, "Middle"},
             {{"webcam", "shape"}, "circle"}}) {
        Json json = defaultStyleJson();
        Json* target = &json;
        for (const auto& k : key) {
            target = &(*target)[k];
        }
        *target = value;
        EXPECT_EQ(decodeFailure(json).kind(), DecodeError::Kind::dataCorrupted) << value;
    }
}

TEST(StyleJson, WrongTypesAndNullsFail) {
    Json json = defaultStyleJson();
    json["cornerRadius"] = "24";
    EXPECT_EQ(decodeFailure(json).kind(), DecodeError::Kind::typeMismatch);
    json = defaultStyleJson();
    json["webcam"]["hidden"] = 0;
    EXPECT_EQ(decodeFailure(json).kind(), DecodeError::Kind::typeMismatch);
    json = defaultStyleJson();
    json["paddingFraction"] = nullptr;
    EXPECT_EQ(decodeFailure(json).kind(), DecodeError::Kind::valueNotFound);
    json = defaultStyleJson();
    json["background"]["gradient"]["_0"]["colors"] = {"#000000", 5};
    EXPECT_EQ(decodeFailure(json).path(), "style.background.gradient._0.colors[1]");
}

TEST(StyleJson, OptionalKeysMayBeMissingOrNullAndValuesAreNotClamped) {
    Json json = defaultStyleJson();
    json["clickRipples"] = nullptr;
    json["webcam"]["positionX"] = 0.5;
    json["webcam"]["positionY"] = nullptr;
    json["paddingFraction"] = 2.5;
    json["shadow"]["opacity"] = -1;
    json["webcam"]["sizeFraction"] = 7;
    json["extra"] = {{"anything", true}};
    const StyleSettings style = decodeStyle(JsonDecoder(json));
    EXPECT_FALSE(style.clickRipples);
    EXPECT_TRUE(style.ripplesEnabled());
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
}

TEST(StyleJson, ExplicitFalseTurnsRipplesOff) {
    Json json = defaultStyleJson();
    json["clickRipples"] = false;
    EXPECT_FALSE(decodeStyle(JsonDecoder(json)).ripplesEnabled());
}

TEST(StyleJson, NonFiniteNumbersAreNotWritten) {
    StyleSettings style;
    style.cornerRadius = std::numeric_limits<double>::infinity();
    EXPECT_THROW(toJson(style), EncodeError);
    style = {};
    style.webcam.positionX = std::nan("");
    EXPECT_THROW(toJson(style), EncodeError);
}

}  // namespace
}  // namespace zarvex
