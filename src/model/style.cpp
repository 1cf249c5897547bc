#include "model/style.h"

namespace zarvex {
namespace {

template <typename E>
E decodeEnum(const JsonDecoder& json) {
    const std::string raw = json.string();
    if (const auto value = fromRawValue<E>(raw)) {
        return *value;
    }
    json.fail("\"" + raw + "\" is not one of the allowed values.");
}

void putOptionalNumber(Json& object, const char* key, const std::optional<double>& value) {
    if (value) {
        object[key] = jsonNumber(*value, key);
    }
}

std::optional<double> optionalNumber(const JsonDecoder& json, std::string_view key) {
    if (const auto value = json.optional(key)) {
        return value->number();
    }
    return std::nullopt;
}

}  // namespace

const std::vector<GradientCollection>& GradientCollection::builtIn() {
    static const std::vector<GradientCollection> collections{
        {"Energy",
         {{{"#FF5F6D", "#FFC371"}, 45},
          {{"#F83600", "#F9D423"}, 45},
          {{"#FF416C", "#FF4B2B"}, 30},
          {{"#FC466B", "#3F5EFB"}, 45}}},
        {"Midnight",
         {{{"#0F2027", "#203A43", "#2C5364"}, 45},
          {{"#141E30", "#243B55"}, 60},
          {{"#232526", "#414345"}, 45},
          {{"#1A2980", "#26D0CE"}, 45}}},
        {"Radiant",
         {{{"#8E2DE2", "#4A00E0"}, 45},
          {{"#DA22FF", "#9733EE"}, 60},
          {{"#7F00FF", "#E100FF"}, 30},
          {{"#FC5C7D", "#6A82FB"}, 45}}},
        {"Iridescent",
         {{{"#43C6AC", "#F8FFAE"}, 45},
          {{"#12C2E9", "#C471ED", "#F64F59"}, 45},
          {{"#A8EDEA", "#FED6E3"}, 60},
          {{"#84FAB0", "#8FD3F4"}, 45}}},
        {"Spring",
         {{{"#56AB2F", "#A8E063"}, 45},
          {{"#76B852", "#8DC26F"}, 60},
          {{"#00B09B", "#96C93D"}, 45},
          {{"#DCE35B", "#45B649"}, 30}}},
        {"Sunset",
         {{{"#EE9CA7", "#FFDDE1"}, 60},
          {{"#2C3E50", "#FD746C"}, 45},
          {{"#FF7E5F", "#FEB47B"}, 45},
          {{"#355C7D", "#6C5B7B", "#C06C84"}, 45}}},
    };
    return collections;
}

const std::vector<std::string>& solidSwatches() {
    static const std::vector<std::string> swatches{"#FFFFFF", "#F6F1E7", "#D9DDE3",
                                                   "#1D2A44", "#1D1D1F", "#000000"};
    return swatches;
}

Json toJson(const GradientSpec& gradient) {
    return Json{{"colors", gradient.colors}, {"angle", jsonNumber(gradient.angle, "angle")}};
}

Json toJson(const BackgroundStyle& background) {
    struct Encoder {
        Json operator()(const SolidBackground& solid) const {
            return Json{{"solid", Json{{"hex", solid.hex}}}};
        }
        Json operator()(const GradientSpec& gradient) const {
            return Json{{"gradient", Json{{"_0", toJson(gradient)}}}};
        }
        Json operator()(const ImageBackground& image) const {
            return Json{{"image", Json{{"path", image.path}}}};
        }
    };
    return std::visit(Encoder{}, background.value());
}

Json toJson(const ShadowSpec& shadow) {
    return Json{{"opacity", jsonNumber(shadow.opacity, "opacity")},
                {"blur", jsonNumber(shadow.blur, "blur")},
                {"offsetY", jsonNumber(shadow.offsetY, "offsetY")}};
}

Json toJson(const WebcamSpec& webcam) {
    Json object{{"hidden", webcam.hidden},
                {"corner", rawValue(webcam.corner)},
                {"shape", rawValue(webcam.shape)},
                {"sizeFraction", jsonNumber(webcam.sizeFraction, "sizeFraction")},
                {"marginFraction", jsonNumber(webcam.marginFraction, "marginFraction")}};
    putOptionalNumber(object, "positionX", webcam.positionX);
    putOptionalNumber(object, "positionY", webcam.positionY);
    return object;
}

Json toJson(const StyleSettings& style) {
    Json object{{"background", toJson(style.background)},
                {"paddingFraction", jsonNumber(style.paddingFraction, "paddingFraction")},
                {"cornerRadius", jsonNumber(style.cornerRadius, "cornerRadius")},
                {"shadow", toJson(style.shadow)},
                {"aspect", rawValue(style.aspect)},
                {"webcam", toJson(style.webcam)}};
    if (style.clickRipples) {
        object["clickRipples"] = *style.clickRipples;
    }
    return object;
}

GradientSpec decodeGradient(const JsonDecoder& json) {
    GradientSpec gradient;
    for (const auto& color : json["colors"].array()) {
        gradient.colors.push_back(color.string());
    }
    gradient.angle = json["angle"].number();
    return gradient;
}

BackgroundStyle decodeBackground(const JsonDecoder& json) {
    json.requireObject();
    const int cases =
        int(json.contains("solid")) + int(json.contains("gradient")) + int(json.contains("image"));
    if (cases != 1) {
        throw DecodeError(DecodeError::Kind::typeMismatch, json.path(),
                          "Invalid number of keys found, expected one.");
    }
    if (json.contains("solid")) {
        return BackgroundStyle::solid(json["solid"]["hex"].string());
    }
    if (json.contains("gradient")) {
        return BackgroundStyle::gradient(decodeGradient(json["gradient"]["_0"]));
    }
    return BackgroundStyle::image(json["image"]["path"].string());
}

ShadowSpec decodeShadow(const JsonDecoder& json) {
    return ShadowSpec{json["opacity"].number(), json["blur"].number(), json["offsetY"].number()};
}

WebcamSpec decodeWebcam(const JsonDecoder& json) {
    WebcamSpec webcam;
    webcam.hidden = json["hidden"].boolean();
    webcam.corner = decodeEnum<WebcamSpec::Corner>(json["corner"]);
    webcam.shape = decodeEnum<WebcamSpec::Shape>(json["shape"]);
    webcam.sizeFraction = json["sizeFraction"].number();
    webcam.marginFraction = json["marginFraction"].number();
    webcam.positionX = optionalNumber(json, "positionX");
    webcam.positionY = optionalNumber(json, "positionY");
    return webcam;
}

StyleSettings decodeStyle(const JsonDecoder& json) {
    StyleSettings style;
    style.background = decodeBackground(json["background"]);
    style.paddingFraction = json["paddingFraction"].number();
    style.cornerRadius = json["cornerRadius"].number();
    style.shadow = decodeShadow(json["shadow"]);
    style.aspect = decodeEnum<AspectPreset>(json["aspect"]);
    style.webcam = decodeWebcam(json["webcam"]);
    if (const auto ripples = json.optional("clickRipples")) {
        style.clickRipples = ripples->boolean();
    }
    return style;
}

}  // namespace zarvex
