#include "integer_text.h"

#include <charconv>
#include <string_view>

namespace vortana {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<int> ParseIntegerText(const std::string& text) {
  std::string_view rest(text);
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  // from_chars takes a minus but no plus; a sign must be followed by a digit either way.
  if (!rest.empty() && rest.front() == '+') {
    rest.remove_prefix(1);
    if (rest.empty() || rest.front() == '-') return std::nullopt;
  }
  int value = 0;
  const char* end = rest.data() + rest.size();
  const auto [stop, error] = std::from_chars(rest.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::string IntegerText(int value) { return std::to_string(value); }

}  // namespace vortana
