#include "data/load_result.h"

#include <utility>

#include "data/flow_field.h"

namespace vortana {

LoadResult LoadResult::Loaded(std::unique_ptr<FlowField> field, std::string notice) {
  LoadResult result;
  result.field_ = std::move(field);
  result.notice_ = std::move(notice);
  return result;
}

LoadResult LoadResult::Failed(std::string file, std::string message) {
  LoadResult result;
  result.failure_ = LoadFailure{std::move(file), std::move(message)};
  result.stepCount_ = 0;
  return result;
}

LoadResult::LoadResult(LoadResult&&) noexcept = default;
LoadResult& LoadResult::operator=(LoadResult&&) noexcept = default;
LoadResult::~LoadResult() = default;

const std::string& LoadResult::Message() const {
  static const std::string kNone;
  return failure_ ? failure_->message : kNone;
}

std::unique_ptr<FlowField> LoadResult::TakeField() { return std::move(field_); }

}  // namespace vortana
