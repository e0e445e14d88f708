#pragma once

#include <optional>
#include <string>

namespace vortana {

/// The number in an integer field: a whole, optionally signed decimal integer that fits in 32
/// bits, spaces before and after allowed. Anything else ("", "1.5", "12a", "9999999999") is not
/// an integer.
std::optional<int> ParseIntegerText(const std::string& text);

/// An integer as a field shows it: plain decimal, no separators.
std::string IntegerText(int value);

}  // namespace vortana
