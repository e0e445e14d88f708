#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vortana {

class FlowField;

/// Why a data set could not be loaded: the input at fault and the message a user is shown,
/// which names that input and says what is wrong with it.
struct LoadFailure {
  std::string file;
  std::string message;
};

/// What a reader gives back: a field, or the failure that left none. A field that loaded may
/// carry a notice, something about the input that did not stop the load but explains a field
/// that turns out unusable (a header whose dimensions stop early).
class LoadResult {
 public:
  static LoadResult Loaded(std::unique_ptr<FlowField> field, std::string notice = {});
  static LoadResult Failed(std::string file, std::string message);

  LoadResult(LoadResult&&) noexcept;
  LoadResult& operator=(LoadResult&&) noexcept;
  ~LoadResult();

  bool Ok() const { return !failure_.has_value(); }
  /// Only for a result that is not Ok().
  const LoadFailure& Failure() const { return *failure_; }
  /// The message to show for a failure; empty when the load succeeded.
  const std::string& Message() const;
  const std::string& Notice() const { return notice_; }
  /// The field that loaded, until it is taken; nullptr after a failure.
  const FlowField* Field() const { return field_.get(); }
  /// Hands the field over; the result keeps saying whether the load succeeded and why not.
  std::unique_ptr<FlowField> TakeField();

  /// How many time steps the source holds (1 for a source without time); the field is the
  /// requested one of them. Its slices are the field's depth.
  int StepCount() const { return stepCount_; }
  void SetStepCount(int count) { stepCount_ = count; }

  /// Whether the data came from a grid/data file pair, the older program's own format: it keeps
  /// that program's defaults (the view from world 0, y down the screen), every other source
  /// gets the data's own window with y up.
  bool FromFilePair() const { return fromFilePair_; }
  void SetFromFilePair(bool filePair) { fromFilePair_ = filePair; }

 private:
  LoadResult() = default;

  std::unique_ptr<FlowField> field_;
  std::optional<LoadFailure> failure_;
  std::string notice_;
  int stepCount_ = 1;
  bool fromFilePair_ = true;
};

}  // namespace vortana
