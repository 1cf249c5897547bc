#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace zarvex {

using Json = nlohmann::json;

// A value that could not be decoded. `path()` is the coding path of the failing
// key ("style.background", "clicks[2].t"; empty at the top level) and the
// message names it.
class DecodeError : public std::runtime_error {
  public:
    enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

    DecodeError(Kind kind, std::string path, std::string detail);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    const std::string& detail() const { return detail_; }

  private:
    Kind kind_;
    std::string path_;
    std::string detail_;
};

// A value that cannot be written as JSON (a number that is not finite).
class EncodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A read-only view of one JSON value together with its coding path. Required
// accessors throw DecodeError naming the path; optional ones treat a missing
// key and null alike as absent.
class JsonDecoder {
  public:
    explicit JsonDecoder(const Json& value, std::string path = {});

    const Json& json() const { return *value_; }
    const std::string& path() const { return path_; }

    // A required key of an object. Missing → keyNotFound, null → valueNotFound.
    JsonDecoder operator[](std::string_view key) const;
    // An optional key: absent when missing or null.
    std::optional<JsonDecoder> optional(std::string_view key) const;
    bool contains(std::string_view key) const;

    double number() const;
    std::int64_t integer() const;
    bool boolean() const;
    std::string string() const;
    std::vector<JsonDecoder> array() const;
    void requireObject() const;

    [[noreturn]] void fail(std::string detail) const;

  private:
    std::string childPath(std::string_view key) const;
    [[noreturn]] void typeMismatch(std::string_view expected) const;

    const Json* value_;
    std::string path_;
};

// Parses JSON text; malformed text is a dataCorrupted DecodeError at the top level.
Json parseJson(std::string_view text);

// A JSON number for a float. Whole numbers are written without a fraction
// ("45", not "45.0"); values that are not finite throw EncodeError naming `what`.
Json jsonNumber(double value, std::string_view what);

// Pretty text (two-space indent) with keys sorted, as written to project and preset files.
std::string prettyJson(const Json& value);
// Compact text with keys sorted.
std::string compactJson(const Json& value);

}  // namespace zarvex
