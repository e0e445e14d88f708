#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vortana {

/// Steps first, first + stride, ... up to last (inclusive), as --frames A:B[:S] names them.
struct FrameRange {
  int first = 0;
  int last = 0;
  int stride = 1;

  std::vector<int> Steps() const;
};

/// Reads "A:B" or "A:B:S". Returns the range, or what is wrong with the text.
struct ParsedFrameRange {
  std::optional<FrameRange> range;
  std::string error;
};
ParsedFrameRange ParseFrameRange(std::string_view text);

/// The placeholder of an output name that each frame replaces with its step.
inline constexpr std::string_view kStepPlaceholder = "{step}";

/// `pattern` with every {step} replaced by `step` padded with zeros to five digits, as the
/// steps of a file pair are numbered.
std::string StepFileName(std::string_view pattern, int step);

}  // namespace vortana
