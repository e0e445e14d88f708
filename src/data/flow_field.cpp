#include "data/flow_field.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "data/byte_source.h"
#include "data/field_builder.h"
#include "data/grid_pair_reader.h"

namespace vortana {

void FlowField::BuildRowOffsets() {
  rowOffsets_.resize(std::max<int>(height_, 0));
  for (int r = 0; r < height_; ++r) rowOffsets_[r] = r * width_;
}

std::unique_ptr<FlowField> FlowField::FromNodes(int width, int height, int depth, int scalarCount,
                                                std::vector<GridPoint> nodes) {
  const FieldShape shape{width, height, depth, scalarCount, 0, 0.0f, true};
  if (shape.NodeCount() < 0 || scalarCount > kMaxDimension ||
      nodes.size() != static_cast<uint64_t>(shape.NodeCount())) {
    return std::make_unique<FlowField>();
  }
  FieldBuilder builder(shape);
  builder.Adopt(std::move(nodes));
  return builder.Finish();
}

LoadResult FlowField::Load(const std::string& baseName) {
  FileStore files;
  return GridPairReader::ReadPair(baseName, files);
}

}  // namespace vortana
