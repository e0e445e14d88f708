#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/load_result.h"
#include "data/row_gate.h"

namespace vortana {

/// One quantity of every node of a rectilinear source, as the source lays it out: node
/// (column c, row r, slice s) sits at data[((s * height + r) * width + c) * stride]. A view
/// without data stands for zeros.
struct NodeComponent {
  const float* data = nullptr;
  std::size_t stride = 1;
};

/// A source whose nodes lie on the lattice of three axes (x along the columns, y along the
/// rows, z across the slices), with the quantities of each node in the source's own order.
struct RectilinearSource {
  /// What messages call the input.
  std::string name;
  std::vector<float> x;
  std::vector<float> y;
  /// One value (0) for a single slice.
  std::vector<float> z{0.0f};
  NodeComponent u, v, w;
  NodeComponent scalar0, scalar1;
  int scalarCount = 0;
};

/// Refuses an axis a field cannot be drawn on: fewer than `fewest` values, more than a field
/// can count, or values that neither rise nor fall throughout (a NaN among them included).
/// Returns the reason, naming the input and the axis, or nothing.
std::string CheckAxis(const std::string& name, const char* axis, const std::vector<float>& values,
                      std::size_t fewest);

/// Builds the field of `source`. A falling axis is turned round together with the nodes along
/// it, so that the field's axes rise as every sampler expects; the lattice keeps its shape.
/// The axes must have passed CheckAxis and the components must hold every node. Given `gate`,
/// each node row is built once the gate lets it (the rows still being read on another thread).
LoadResult BuildRectilinearField(const RectilinearSource& source, std::string notice = {},
                                 RowGate* gate = nullptr);

}  // namespace vortana
