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

std::span<const GridPoint> FlowField::SliceNodes() const {
  const std::size_t perSlice = static_cast<std::size_t>(std::max<int>(width_, 0)) *
                               static_cast<std::size_t>(std::max<int>(height_, 0));
  return std::span(nodes_).subspan(sliceStart_, std::min(perSlice, nodes_.size() - sliceStart_));
}

bool FlowField::SampleSlice(int slice) {
  if (slice < 0 || slice >= depth_) return false;
  const std::size_t sliceNodes = SliceNodes().size();
  const std::size_t start = static_cast<std::size_t>(slice) * sliceNodes;
  if (start + sliceNodes > nodes_.size()) return false;
  // The search index describes the slice it searches, as the builder made it for slice 0.
  searchIndex_.Start(width_, height_);
  for (std::size_t k = 0; k < sliceNodes; ++k) searchIndex_.Add(nodes_[start + k]);
  FinishSearchIndex();
  sliceStart_ = start;
  sampledSlice_ = slice;
  return true;
}

LoadResult FlowField::Load(const std::string& baseName) {
  FileStore files;
  return GridPairReader::ReadPair(baseName, files);
}

}  // namespace vortana
