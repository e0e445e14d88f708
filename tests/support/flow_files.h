#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "data/grid_point.h"

namespace vortana::testing {

/// Header text padded with spaces to the 40 bytes a grid file begins with (cut if longer).
std::string GridHeaderBytes(const std::string& text);

/// The little-endian float32 bytes of `values`, in order.
std::string FloatBytes(std::initializer_list<float> values);
std::string FloatBytes(const std::vector<float>& values);

/// Writes `bytes` to `path` as they stand (fails the current test when it cannot).
void WriteBytes(const std::string& path, const std::string& bytes);

/// Nodes of a rectilinear grid, one slice: node (c, r) at (xs[c], ys[r], 0), velocity and scalars
/// zero. Columns vary fastest.
std::vector<GridPoint> RectilinearNodes(const std::vector<float>& xs, const std::vector<float>& ys);

}  // namespace vortana::testing
