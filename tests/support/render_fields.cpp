#include "render_fields.h"

namespace vortana::testing::render_fields {

std::vector<float> EvenlySpaced(int count, float extent) {
  std::vector<float> coordinates;
  for (int i = 0; i < count; ++i) {
    coordinates.push_back(static_cast<float>(static_cast<double>(extent) * i / (count - 1)));
  }
  return coordinates;
}

std::unique_ptr<FlowField> GridField(const std::vector<float>& xs, const std::vector<float>& ys,
                                     const NodeValues& values) {
  std::vector<GridPoint> nodes;
  nodes.reserve(xs.size() * ys.size());
  for (size_t r = 0; r < ys.size(); ++r) {
    for (size_t c = 0; c < xs.size(); ++c) {
      GridPoint node;
      node.position = {xs[c], ys[r], 0.0f};
      if (values) values(static_cast<int>(c), static_cast<int>(r), node);
      nodes.push_back(node);
    }
  }
  return FlowField::FromNodes(static_cast<int>(xs.size()), static_cast<int>(ys.size()), 1, 2,
                              std::move(nodes));
}

std::unique_ptr<FlowField> UniformField(Vec3 velocity, int nodes, float extent) {
  const std::vector<float> coordinates = EvenlySpaced(nodes, extent);
  return GridField(coordinates, coordinates,
                   [velocity](int, int, GridPoint& node) { node.velocity = velocity; });
}

}  // namespace vortana::testing::render_fields
