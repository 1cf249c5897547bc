#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace zarvex {

// Enumerations whose cases carry a raw string (their JSON value and label)
// specialise EnumTable with `static constexpr std::array<EnumCase<E>, N> cases`
// listing every case in declaration order.
template <typename E>
struct EnumCase {
    E value;
    std::string_view raw;
};

template <typename E>
struct EnumTable;

template <typename E>
constexpr auto allCases() {
    std::array<E, EnumTable<E>::cases.size()> result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = EnumTable<E>::cases[i].value;
    }
    return result;
}

template <typename E>
constexpr std::string_view rawValue(E value) {
    for (const auto& c : EnumTable<E>::cases) {
        if (c.value == value) {
            return c.raw;
        }
    }
    return {};
}

template <typename E>
constexpr std::optional<E> fromRawValue(std::string_view raw) {
    for (const auto& c : EnumTable<E>::cases) {
        if (c.raw == raw) {
            return c.value;
        }
    }
    return std::nullopt;
}

}  // namespace zarvex
