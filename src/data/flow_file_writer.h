#pragma once

#include <string>
#include <vector>

#include "grid_point.h"

namespace vortana {

/// Writes a data set as a file pair: baseName + ".gri" (the 40-byte header
/// "SN4DB w h d scalarCount 0 0.0" padded with spaces, then x, y, z of every node) and
/// baseName + ".00000.dat" (u, v, w and scalarCount scalars per node: scalar 0, scalar 1, then
/// zeros). Little-endian float32 throughout. Returns an empty string, or what went wrong.
/// Appends a node's x, y, z as the grid file holds them (little-endian float32).
void AppendGridNode(std::vector<unsigned char>& bytes, const GridPoint& node);
/// Appends a node's u, v, w and `scalarCount` scalars as the data file holds them; scalars past
/// the two a node keeps are written as 0.
void AppendDataNode(std::vector<unsigned char>& bytes, const GridPoint& node, int scalarCount);

std::string WriteFlowFiles(const std::string& baseName, int width, int height, int depth,
                           int scalarCount, const std::vector<GridPoint>& nodes);

}  // namespace vortana
