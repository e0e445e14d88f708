#include "frame_range.h"

#include <cstdio>

#include "app/command_line.h"

namespace vortana {

std::vector<int> FrameRange::Steps() const {
  std::vector<int> steps;
  for (long long step = first; step <= last; step += stride)
    steps.push_back(static_cast<int>(step));
  return steps;
}

ParsedFrameRange ParseFrameRange(std::string_view text) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  const std::string shape =
      "expected A:B or A:B:S with whole numbers A <= B and S >= 1, got '" + std::string(text) + "'";
  if (parts.size() < 2 || parts.size() > 3) return {std::nullopt, shape};
  std::optional<int> numbers[3] = {StrictInteger(parts[0]), StrictInteger(parts[1]), 1};
  if (parts.size() == 3) numbers[2] = StrictInteger(parts[2]);
  if (!numbers[0] || !numbers[1] || !numbers[2] || *numbers[0] < 0) return {std::nullopt, shape};
  const FrameRange range{*numbers[0], *numbers[1], *numbers[2]};
  if (range.last < range.first) {
    return {std::nullopt, "the last step " + std::to_string(range.last) +
                              " comes before the first " + std::to_string(range.first) + " in '" +
                              std::string(text) + "'"};
  }
  if (range.stride < 1) {
    return {std::nullopt, "the stride " + std::to_string(range.stride) + " in '" +
                              std::string(text) + "' must be at least 1"};
  }
  return {range, {}};
}

std::string StepFileName(std::string_view pattern, int step) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05d", step);
  std::string name;
  for (size_t start = 0;;) {
    const size_t found = pattern.find(kStepPlaceholder, start);
    name += pattern.substr(start, found == std::string_view::npos ? found : found - start);
    if (found == std::string_view::npos) break;
    name += digits;
    start = found + kStepPlaceholder.size();
  }
  return name;
}

}  // namespace vortana
