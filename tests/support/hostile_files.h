#pragma once

#include <string>
#include <vector>

#include "data/vec3.h"
#include "support/temp_dir.h"

namespace vortana::testing {

/// A data set as the raw bytes of its two files, so that any of them can be broken at will.
struct HostileDataSet {
  std::string name;  // file-name stem, saying what is wrong with the set
  std::string grid;  // the whole .gri file
  std::string data;  // the whole .00000.dat file
};

/// "SN4DB width height depth scalars 0 0.0", the header text of a well-formed grid file.
std::string HeaderText(int width, int height, int depth, int scalars);

/// Grid file bytes: `headerText` padded with spaces (or cut) to 40 bytes, then x, y, z of every
/// position as little-endian float32.
std::string GridFileBytes(const std::string& headerText, const std::vector<Vec3>& positions);

/// Data file bytes: for node k, u, v, w of velocities[k], then `scalars` values: k + 0.5 and
/// -(k + 0.5) for the first two, 1000 + k for every further one. Distinct values per node, so a
/// misread layout shows.
std::string DataFileBytes(const std::vector<Vec3>& velocities, int scalars);

/// Nodes in node order of a width x height x depth lattice: node (c, r, s) at
/// (c * step, r * step, s).
std::vector<Vec3> LatticePositions(int width, int height, int depth, float step);

/// A well-formed set: the lattice above with `step` 1, every node moving at `velocity`.
HostileDataSet LatticeSet(const std::string& name, int width, int height, int depth, int scalars,
                          Vec3 velocity = {1.0f, 0.5f, 0.0f});

/// Writes dir/NAME.gri and dir/NAME.00000.dat; returns the grid file's path.
std::string WriteDataSet(const TempDir& dir, const HostileDataSet& set);

}  // namespace vortana::testing
