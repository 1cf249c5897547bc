#include "model/json_coding.h"

#include <cmath>

namespace zarvex {
namespace {

std::string describe(DecodeError::Kind kind, const std::string& path, const std::string& detail) {
    const std::string where = path.empty() ? "the top level" : "\"" + path + "\"";
    switch (kind) {
        case DecodeError::Kind::keyNotFound:
            return "Missing key " + where + ".";
        case DecodeError::Kind::valueNotFound:
            return "Missing value at " + where + ": " + detail;
        case DecodeError::Kind::typeMismatch:
            return "Wrong type at " + where + ": " + detail;
        case DecodeError::Kind::dataCorrupted:
            return "Invalid value at " + where + ": " + detail;
    }
    return detail;
}

std::string_view typeName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return "a number";
        default:
            return "an unsupported value";
    }
}

}  // namespace

DecodeError::DecodeError(Kind kind, std::string path, std::string detail)
    : std::runtime_error(describe(kind, path, detail)),
      kind_(kind),
      path_(std::move(path)),
      detail_(std::move(detail)) {}

JsonDecoder::JsonDecoder(const Json& value, std::string path)
    : value_(&value), path_(std::move(path)) {}

std::string JsonDecoder::childPath(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

void JsonDecoder::requireObject() const {
    if (!value_->is_object()) {
        typeMismatch("an object");
    }
}

bool JsonDecoder::contains(std::string_view key) const {
    return value_->is_object() && value_->find(key) != value_->end();
}

JsonDecoder JsonDecoder::operator[](std::string_view key) const {
    requireObject();
    const auto it = value_->find(key);
    if (it == value_->end()) {
        throw DecodeError(DecodeError::Kind::keyNotFound, childPath(key), {});
    }
    if (it->is_null()) {
        throw DecodeError(DecodeError::Kind::valueNotFound, childPath(key),
                          "expected a value but found null.");
    }
    return JsonDecoder(*it, childPath(key));
}

std::optional<JsonDecoder> JsonDecoder::optional(std::string_view key) const {
    requireObject();
    const auto it = value_->find(key);
    if (it == value_->end() || it->is_null()) {
        return std::nullopt;
    }
    return JsonDecoder(*it, childPath(key));
}

double JsonDecoder::number() const {
    if (!value_->is_number()) {
        typeMismatch("a number");
    }
    return value_->get<double>();
}

std::int64_t JsonDecoder::integer() const {
    if (value_->is_number_integer()) {
        if (value_->is_number_unsigned() &&
            value_->get<std::uint64_t>() >
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            fail("the number does not fit in a 64-bit integer.");
        }
        return value_->get<std::int64_t>();
    }
    if (value_->is_number_float()) {
        const double d = value_->get<double>();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18) {
            return static_cast<std::int64_t>(d);
        }
        fail("expected a whole number.");
    }
    typeMismatch("a number");
}

bool JsonDecoder::boolean() const {
    if (!value_->is_boolean()) {
        typeMismatch("a boolean");
    }
    return value_->get<bool>();
}

std::string JsonDecoder::string() const {
    if (!value_->is_string()) {
        typeMismatch("a string");
    }
    return value_->get<std::string>();
}

std::vector<JsonDecoder> JsonDecoder::array() const {
    if (!value_->is_array()) {
        typeMismatch("an array");
    }
    std::vector<JsonDecoder> items;
    items.reserve(value_->size());
    for (std::size_t i = 0; i < value_->size(); ++i) {
        items.emplace_back((*value_)[i], path_ + "[" + std::to_string(i) + "]");
    }
    return items;
}

void JsonDecoder::fail(std::string detail) const {
    throw DecodeError(DecodeError::Kind::dataCorrupted, path_, std::move(detail));
}

void JsonDecoder::typeMismatch(std::string_view expected) const {
    throw DecodeError(
        DecodeError::Kind::typeMismatch, path_,
        "expected " + std::string(expected) + " but found " + std::string(typeName(*value_)) + ".");
}

Json parseJson(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception& error) {
        throw DecodeError(DecodeError::Kind::dataCorrupted, {},
                          std::string("the text is not valid JSON (") + error.what() + ").");
    }
}

Json jsonNumber(double value, std::string_view what) {
    if (!std::isfinite(value)) {
        throw EncodeError("Cannot write " + std::string(what) + ": the number is not finite.");
    }
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

namespace {

std::string dumpJson(const Json& value, int indent) {
    try {
        return value.dump(indent);
    } catch (const Json::exception& error) {
        // Strings that are not valid UTF-8 cannot be written as JSON text.
        throw EncodeError(std::string("Cannot write the file: ") + error.what());
    }
}

}  // namespace

std::string prettyJson(const Json& value) {
    return dumpJson(value, 2);
}

std::string compactJson(const Json& value) {
    return dumpJson(value, -1);
}

}  // namespace zarvex
