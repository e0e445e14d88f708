#include "data/rectilinear_grid.h"

#include <new>

#include "data/field_builder.h"
#include "data/flow_field.h"
#include "data/large_pages.h"

namespace vortana {

namespace {

bool Falls(const std::vector<float>& values) { return values.size() >= 2 && values[1] < values[0]; }

/// Where lattice index i of an axis of n values lies in the source.
std::size_t SourceIndex(std::size_t i, std::size_t n, bool reversed) {
  return reversed ? n - 1 - i : i;
}

/// A component read as data[node * stride]: a missing one reads a zero with stride 0, so that
/// the node loop has no test per value.
struct Reading {
  explicit Reading(const NodeComponent& component)
      : data(component.data != nullptr ? component.data : &kZero),
        stride(component.data != nullptr ? component.stride : 0) {}
  float At(std::size_t node) const { return data[node * stride]; }

  static constexpr float kZero = 0.0f;
  const float* data;
  std::size_t stride;
};

/// Row `start` of a component read one value a node, or null for a missing one.
const float* Row(const NodeComponent& component, std::size_t start) {
  return component.data != nullptr ? component.data + start : nullptr;
}

}  // namespace

std::string CheckAxis(const std::string& name, const char* axis, const std::vector<float>& values,
                      std::size_t fewest) {
  if (values.size() < fewest) {
    return name + ": " + axis + " has " + std::to_string(values.size()) +
           (values.size() == 1 ? " value" : " values") + "; a grid needs at least " +
           std::to_string(fewest) + " along each side";
  }
  if (values.size() > static_cast<std::size_t>(kMaxDimension)) {
    return name + ": " + axis + " has " + std::to_string(values.size()) + " values, more than " +
           std::to_string(kMaxDimension);
  }
  const bool falls = Falls(values);
  for (std::size_t i = 1; i < values.size(); ++i) {
    // Negated so that a NaN breaks the order too.
    const bool inOrder = falls ? values[i] < values[i - 1] : values[i - 1] < values[i];
    if (!inOrder) {
      return name + ": the " + axis + " values neither rise nor fall throughout (" + axis + "[" +
             std::to_string(i - 1) + "] = " + std::to_string(values[i - 1]) + ", " + axis + "[" +
             std::to_string(i) + "] = " + std::to_string(values[i]) + ")";
    }
  }
  return {};
}

LoadResult BuildRectilinearField(const RectilinearSource& source, std::string notice,
                                 RowGate* gate) {
  const std::size_t width = source.x.size();
  const std::size_t height = source.y.size();
  const std::size_t depth = source.z.size();
  const bool flipX = Falls(source.x);
  const bool flipY = Falls(source.y);
  const bool flipZ = Falls(source.z);
  const FieldShape shape{static_cast<int>(width),
                         static_cast<int>(height),
                         static_cast<int>(depth),
                         source.scalarCount,
                         0,
                         0.0f};
  if (shape.NodeCount() < 0) {
    return LoadResult::Failed(source.name, source.name + " holds " + std::to_string(width) + " x " +
                                               std::to_string(height) + " x " +
                                               std::to_string(depth) +
                                               " nodes, more than a field can hold");
  }
  try {
    FieldBuilder builder(shape);
    const std::size_t nodeBytes = width * height * depth * sizeof(GridPoint);
    GridPoint* nodes = builder.ReserveNodes();
    AskForLargePages(nodes, nodeBytes);
    const PagesMappedAhead mapped(nodes, nodeBytes);
    builder.ExpectLatticeRows();
    NodeIntake intake(builder);
    const Reading u(source.u), v(source.v), w(source.w);
    const Reading scalar0(source.scalar0), scalar1(source.scalar1);
    // Each row is gathered in a small buffer that stays in the cache while the builder takes
    // it in.
    std::vector<GridPoint> row(width);
    // Components one after another along x and x rising: whole rows at a time.
    bool contiguous = !flipX;
    for (const NodeComponent* k :
         {&source.u, &source.v, &source.w, &source.scalar0, &source.scalar1}) {
      if (k->data != nullptr && k->stride != 1) contiguous = false;
    }
    for (std::size_t s = 0; s < depth; ++s) {
      const std::size_t sz = SourceIndex(s, depth, flipZ);
      const float z = source.z[sz];
      for (std::size_t r = 0; r < height; ++r) {
        if (gate) gate->Await(s * height + r + 1);
        const std::size_t sy = SourceIndex(r, height, flipY);
        const float y = source.y[sy];
        const std::size_t rowStart = (sz * height + sy) * width;
        if (contiguous) {
          const float* const values[5] = {Row(source.u, rowStart), Row(source.v, rowStart),
                                          Row(source.w, rowStart), Row(source.scalar0, rowStart),
                                          Row(source.scalar1, rowStart)};
          intake.AddLatticeRow(width, source.x.data(), y, z, values);
          continue;
        }
        for (std::size_t c = 0; c < width; ++c) {
          const std::size_t sx = SourceIndex(c, width, flipX);
          const std::size_t n = rowStart + sx;
          GridPoint& node = row[c];
          node.position = {source.x[sx], y, z};
          node.velocity = {u.At(n), v.At(n), w.At(n)};
          node.scalar0 = scalar0.At(n);
          node.scalar1 = scalar1.At(n);
        }
        intake.Add(row.data(), width);
      }
    }
    intake.Finish();
    return LoadResult::Loaded(builder.Finish(), std::move(notice));
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(source.name, "there is not enough memory to hold the " +
                                               std::to_string(shape.NodeCount()) + " nodes of " +
                                               source.name);
  }
}

}  // namespace vortana
