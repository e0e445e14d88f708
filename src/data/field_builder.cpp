#include "data/field_builder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace vortana {

namespace {

int16_t ClampToInt16(int value) {
  return static_cast<int16_t>(std::clamp(value, INT16_MIN, INT16_MAX));
}

}  // namespace

int64_t FieldShape::NodeCount() const {
  for (const int dimension : {width, height, depth}) {
    if (dimension < 0 || dimension > kMaxDimension) return -1;
  }
  const int64_t count = int64_t{width} * height * depth;
  return count > INT32_MAX ? -1 : count;
}

FieldBuilder::FieldBuilder(const FieldShape& shape) : field_(std::make_unique<FlowField>()) {
  FlowField& f = *field_;
  f.width_ = static_cast<int16_t>(shape.width);
  f.height_ = static_cast<int16_t>(shape.height);
  f.depth_ = static_cast<int16_t>(shape.depth);
  f.scalarCount_ = ClampToInt16(shape.scalarCount);
  f.spare_ = ClampToInt16(shape.spare);
  f.headerReal_ = shape.real;
  f.fromFilePair_ = shape.fromFilePair;
  f.nodeCount_ = static_cast<int32_t>(shape.NodeCount());
  f.searchIndex_.Start(shape.width, shape.height);
}

GridPoint* FieldBuilder::ReserveNodes() {
  field_->nodes_.reserve(static_cast<std::size_t>(field_->nodeCount_));
  return field_->nodes_.data();
}

void FieldBuilder::Adopt(std::vector<GridPoint>&& nodes) {
  FlowField& f = *field_;
  for (const GridPoint& node : nodes) {
    AddToStatistics(f.stats_, maxSquaredSpeed_, node);
    f.searchIndex_.Add(node);
  }
  f.nodes_ = std::move(nodes);
}

void FieldBuilder::AddNodes(const GridPoint* nodes, std::size_t count) {
  FlowField& f = *field_;
  f.nodes_.insert(f.nodes_.end(), nodes, nodes + count);
  // The statistics in a local copy, which the compiler keeps in registers (stores into the
  // nodes could otherwise change them, as far as it can tell).
  FieldStatistics stats = f.stats_;
  double maxSquaredSpeed = maxSquaredSpeed_;
  for (std::size_t i = 0; i < count; ++i) AddToStatistics(stats, maxSquaredSpeed, nodes[i]);
  f.stats_ = stats;
  maxSquaredSpeed_ = maxSquaredSpeed;
  f.searchIndex_.AddNodes(nodes, count);
}

std::unique_ptr<FlowField> FieldBuilder::Finish() {
  field_->stats_.maxSpeed = static_cast<float>(std::sqrt(maxSquaredSpeed_));
  field_->FinishSearchIndex();
  field_->BuildRowOffsets();
  return std::move(field_);
}

}  // namespace vortana
