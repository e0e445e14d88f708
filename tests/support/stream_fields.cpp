#include "support/stream_fields.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace vortana::testing {
namespace {

std::unique_ptr<FlowField> FourCorners(float extent, const std::function<Vec3(float, float)>& at) {
  std::vector<GridPoint> nodes;
  for (float y : {0.0f, extent}) {
    for (float x : {0.0f, extent}) {
      GridPoint node;
      node.position = Vec3(x, y, 0.0f);
      node.velocity = at(x, y);
      nodes.push_back(node);
    }
  }
  return FlowField::FromNodes(2, 2, 1, 2, std::move(nodes));
}

}  // namespace

std::unique_ptr<FlowField> UniformFlow(float u, float v, float w, float extent) {
  return FourCorners(extent, [=](float, float) { return Vec3(u, v, w); });
}

std::unique_ptr<FlowField> FlowAtRest(float extent) { return UniformFlow(0.0f, 0.0f, 0.0f, extent); }

std::unique_ptr<FlowField> LinearFlow(float a, float b, float c, float d, float cx, float cy,
                                      float extent) {
  return FourCorners(extent, [=](float x, float y) {
    const double rx = static_cast<double>(x) - cx;
    const double ry = static_cast<double>(y) - cy;
    return Vec3(static_cast<float>(a * rx + b * ry), static_cast<float>(c * rx + d * ry), 0.0f);
  });
}

std::unique_ptr<FlowField> Vortex(float cx, float cy, float extent) {
  return LinearFlow(0.0f, -1.0f, 1.0f, 0.0f, cx, cy, extent);
}

std::unique_ptr<FlowField> SpiralSink(float cx, float cy, float extent) {
  return LinearFlow(-1.0f, -1.0f, 1.0f, -1.0f, cx, cy, extent);
}

std::unique_ptr<FlowField> SampledFlow(int nodes, float extent,
                                       const std::function<Vec3(double x, double y)>& flow) {
  std::vector<GridPoint> points;
  points.reserve(static_cast<size_t>(nodes) * nodes);
  for (int j = 0; j < nodes; ++j) {
    for (int i = 0; i < nodes; ++i) {
      const double x = static_cast<double>(extent) * i / (nodes - 1);
      const double y = static_cast<double>(extent) * j / (nodes - 1);
      GridPoint node;
      node.position = Vec3(static_cast<float>(x), static_cast<float>(y), 0.0f);
      node.velocity = flow(x, y);
      points.push_back(node);
    }
  }
  return FlowField::FromNodes(nodes, nodes, 1, 2, std::move(points));
}

std::unique_ptr<FlowField> CellularFlow(int nodes, float extent) {
  const double k = 2.0 * std::numbers::pi / extent;  // two cells across
  return SampledFlow(nodes, extent, [k](double x, double y) {
    // Stream function sin(kx) sin(ky): u = d/dy, v = -d/dx.
    return Vec3(static_cast<float>(std::sin(k * x) * std::cos(k * y)),
                static_cast<float>(-std::cos(k * x) * std::sin(k * y)), 0.0f);
  });
}

std::unique_ptr<FlowField> FlowOfNaNs(float extent) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  return UniformFlow(nan, nan, nan, extent);
}

PixelMap MapFor(const FlowField& field, int width, int height) {
  PixelMap map;
  map.width = width;
  map.height = height;
  map.scaleX = static_cast<float>(static_cast<double>(field.Stats().maxPosition.x) / width);
  map.scaleY = static_cast<float>(static_cast<double>(field.Stats().maxPosition.y) / height);
  return map;
}

TraceSettings SettingsFor(const FlowField& field, float dt, int integrator) {
  TraceSettings settings;
  settings.map = MapFor(field);
  settings.integrator = integrator;
  settings.dt = dt;
  return settings;
}

}  // namespace vortana::testing
