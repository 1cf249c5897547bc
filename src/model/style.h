#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/enum_table.h"
#include "model/json_coding.h"

namespace zarvex {

// Linear gradient: colour texts spread evenly from start to end; `angle` in
// degrees counter-clockwise from left→right in a y-up frame.
struct GradientSpec {
    std::vector<std::string> colors;
    double angle = 0;
    bool operator==(const GradientSpec&) const = default;
};

struct SolidBackground {
    std::string hex;
    bool operator==(const SolidBackground&) const = default;
};

struct ImageBackground {
    std::string path;
    bool operator==(const ImageBackground&) const = default;
};

// Exactly one of solid colour, gradient or image file.
class BackgroundStyle {
  public:
    using Value = std::variant<SolidBackground, GradientSpec, ImageBackground>;

    explicit BackgroundStyle(Value value) : value_(std::move(value)) {}

    static BackgroundStyle solid(std::string hex) {
        return BackgroundStyle(Value(SolidBackground{std::move(hex)}));
    }
    static BackgroundStyle gradient(GradientSpec gradient) {
        return BackgroundStyle(Value(std::move(gradient)));
    }
    static BackgroundStyle image(std::string path) {
        return BackgroundStyle(Value(ImageBackground{std::move(path)}));
    }

    const Value& value() const { return value_; }
    const SolidBackground* asSolid() const { return std::get_if<SolidBackground>(&value_); }
    const GradientSpec* asGradient() const { return std::get_if<GradientSpec>(&value_); }
    const ImageBackground* asImage() const { return std::get_if<ImageBackground>(&value_); }

    bool operator==(const BackgroundStyle&) const = default;

  private:
    Value value_;
};

struct ShadowSpec {
    double opacity = 0.4;  // at or below 0.01 no shadow is drawn
    double blur = 44;      // Gaussian sigma is half of this, in canvas pixels
    double offsetY = 14;   // canvas pixels downwards
    bool operator==(const ShadowSpec&) const = default;
};

enum class AspectPreset { original, wide16x9, square, vertical9x16, portrait4x5 };

template <>
struct EnumTable<AspectPreset> {
    static constexpr std::array<EnumCase<AspectPreset>, 5> cases{{
        {AspectPreset::original, "Original"},
        {AspectPreset::wide16x9, "16:9"},
        {AspectPreset::square, "1:1"},
        {AspectPreset::vertical9x16, "9:16"},
        {AspectPreset::portrait4x5, "4:5"},
    }};
};

struct WebcamSpec {
    enum class Corner { topLeft, topRight, bottomLeft, bottomRight };
    enum class Shape { circle, roundedRect };

    bool hidden = false;
    Corner corner = Corner::bottomRight;
    Shape shape = Shape::circle;
    double sizeFraction = 0.24;     // bubble side / canvas height
    double marginFraction = 0.035;  // distance from the edges / shorter canvas side
    // Custom centre as fractions of the canvas (y from the bottom); used only
    // when both are present.
    std::optional<double> positionX;
    std::optional<double> positionY;

    bool operator==(const WebcamSpec&) const = default;
};

template <>
struct EnumTable<WebcamSpec::Corner> {
    static constexpr std::array<EnumCase<WebcamSpec::Corner>, 4> cases{{
        {WebcamSpec::Corner::topLeft, "Top Left"},
        {WebcamSpec::Corner::topRight, "Top Right"},
        {WebcamSpec::Corner::bottomLeft, "Bottom Left"},
        {WebcamSpec::Corner::bottomRight, "Bottom Right"},
    }};
};

template <>
struct EnumTable<WebcamSpec::Shape> {
    static constexpr std::array<EnumCase<WebcamSpec::Shape>, 2> cases{{
        {WebcamSpec::Shape::circle, "Circle"},
        {WebcamSpec::Shape::roundedRect, "Rounded"},
    }};
};

// The complete visual style of one recording. A default-constructed value is
// the default style. No field is clamped here; the editor keeps values in range.
struct StyleSettings {
    BackgroundStyle background = BackgroundStyle::gradient({{"#FF5F6D", "#FFC371"}, 45});
    double paddingFraction = 0.07;
    double cornerRadius = 24;
    ShadowSpec shadow;
    AspectPreset aspect = AspectPreset::original;
    WebcamSpec webcam;
    std::optional<bool> clickRipples;  // absent means on

    static StyleSettings defaultStyle() { return {}; }

    // Ripples are drawn unless explicitly switched off.
    bool ripplesEnabled() const { return clickRipples.value_or(true); }

    bool operator==(const StyleSettings&) const = default;
};

struct GradientCollection {
    std::string name;
    std::vector<GradientSpec> gradients;

    // The six built-in collections of four gradients each, built once.
    static const std::vector<GradientCollection>& builtIn();
};

// The fixed row of solid colours the editor offers.
const std::vector<std::string>& solidSwatches();

// JSON form of a style and its parts. Decoding requires every non-optional key,
// ignores unknown keys and takes values as written.
Json toJson(const GradientSpec& gradient);
Json toJson(const BackgroundStyle& background);
Json toJson(const ShadowSpec& shadow);
Json toJson(const WebcamSpec& webcam);
Json toJson(const StyleSettings& style);

GradientSpec decodeGradient(const JsonDecoder& json);
BackgroundStyle decodeBackground(const JsonDecoder& json);
ShadowSpec decodeShadow(const JsonDecoder& json);
WebcamSpec decodeWebcam(const JsonDecoder& json);
StyleSettings decodeStyle(const JsonDecoder& json);

}  // namespace zarvex
