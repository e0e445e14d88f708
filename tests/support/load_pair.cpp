#include "support/load_pair.h"

namespace vortana::testing {

std::unique_ptr<FlowField> LoadPair(const std::string& baseName, std::string& error) {
  LoadResult result = FlowField::Load(baseName);
  error = result.Message();
  std::unique_ptr<FlowField> field = result.TakeField();
  return field ? std::move(field) : std::make_unique<FlowField>();
}

}  // namespace vortana::testing
