#pragma once

// Helpers of the catalogue's own sources: filling in a sentence and grouping
// the digits of a number.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tolvana::messages::detail {

// `pattern` with %1 to %9 replaced by the texts given, in order, as in the
// windows' own QString::arg, so that a sentence reads whole in the source.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> texts);

// A whole number with a space between groups of three digits: "67 108 865".
std::string Grouped(std::uint64_t number);

} // namespace tolvana::messages::detail
