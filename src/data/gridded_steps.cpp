#include "data/gridded_steps.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "data/flow_field.h"

namespace vortana {

namespace {

bool SameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

/// Rises or falls throughout, as a reader of array formats requires of an axis.
bool Monotone(const std::vector<float>& values) {
  auto all = [&](auto order) {
    return std::adjacent_find(values.begin(), values.end(),
                              [&](float a, float b) { return !order(a, b); }) == values.end();
  };
  return all([](float a, float b) { return a < b; }) || all([](float a, float b) { return a > b; });
}

}  // namespace

bool GriddedSteps::HasZ() const {
  return zs_.size() > 1 || (zs_.size() == 1 && !SameBits(zs_[0], 0.0f));
}

std::string GriddedSteps::Add(const FlowField& field) {
  const int width = field.Width();
  const int height = field.Height();
  const int depth = field.Depth();
  const std::vector<GridPoint>& nodes = field.Nodes();
  if (width < 1 || height < 1 || depth < 1 || nodes.empty()) return "the field has no nodes";
  std::vector<float> xs(width), ys(height), zs(depth);
  for (int c = 0; c < width; ++c) xs[c] = nodes[c].position.x;
  for (int r = 0; r < height; ++r) ys[r] = nodes[static_cast<std::size_t>(r) * width].position.y;
  const std::size_t slice = static_cast<std::size_t>(width) * height;
  for (int s = 0; s < depth; ++s) zs[s] = nodes[s * slice].position.z;
  std::size_t k = 0;
  for (int s = 0; s < depth; ++s) {
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c, ++k) {
        const Vec3& p = nodes[k].position;
        if (!SameBits(p.x, xs[c]) || !SameBits(p.y, ys[r]) || !SameBits(p.z, zs[s])) {
          return "the grid is not rectilinear (x along the rows, y along the columns, z per "
                 "slice); node " + std::to_string(k) + " is off the lines";
        }
      }
    }
  }
  if (!Monotone(xs) || !Monotone(ys)) {
    return "the grid's x or y neither rises nor falls throughout";
  }
  if (steps_ == 0) {
    xs_ = xs;
    ys_ = ys;
    zs_ = zs;
    scalarCount_ = std::clamp<int>(field.ScalarCount(), 0, 2);
  } else if (!std::equal(xs.begin(), xs.end(), xs_.begin(), xs_.end(), SameBits) ||
             !std::equal(ys.begin(), ys.end(), ys_.begin(), ys_.end(), SameBits) ||
             !std::equal(zs.begin(), zs.end(), zs_.begin(), zs_.end(), SameBits)) {
    return "step " + std::to_string(steps_) + " has a grid other than step 0's";
  }
  for (const GridPoint& node : nodes) {
    u_.push_back(node.velocity.x);
    v_.push_back(node.velocity.y);
    w_.push_back(node.velocity.z);
    if (!SameBits(node.velocity.z, 0.0f)) hasW_ = true;
    if (scalarCount_ >= 1) pressure_.push_back(node.scalar0);
    if (scalarCount_ >= 2) vorticity_.push_back(node.scalar1);
  }
  ++steps_;
  return {};
}

}  // namespace vortana
