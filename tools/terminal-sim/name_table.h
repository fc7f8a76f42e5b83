#pragma once
// Enums that are named in logs and on the command line keep their names in one table each,
// indexed by the enum's value; these look names up both ways.
#include <array>
#include <cstddef>
#include <string_view>

namespace termsim {

template <typename Enum, std::size_t N>
std::string_view NameOf(const std::array<std::string_view, N>& names, Enum value) {
    const auto i = static_cast<std::size_t>(value);
    return i < N ? names[i] : "?";
}

template <typename Enum, std::size_t N>
bool ValueOf(const std::array<std::string_view, N>& names, std::string_view name, Enum& value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            value = static_cast<Enum>(i);
            return true;
        }
    }
    return false;
}

}  // namespace termsim
