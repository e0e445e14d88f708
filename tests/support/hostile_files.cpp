#include "support/hostile_files.h"

#include "support/flow_files.h"

namespace vortana::testing {

std::string HeaderText(int width, int height, int depth, int scalars) {
  return "SN4DB " + std::to_string(width) + " " + std::to_string(height) + " " +
         std::to_string(depth) + " " + std::to_string(scalars) + " 0 0.0";
}

std::string GridFileBytes(const std::string& headerText, const std::vector<Vec3>& positions) {
  std::vector<float> values;
  values.reserve(positions.size() * 3);
  for (const Vec3& p : positions) values.insert(values.end(), {p.x, p.y, p.z});
  return GridHeaderBytes(headerText) + FloatBytes(values);
}

std::string DataFileBytes(const std::vector<Vec3>& velocities, int scalars) {
  std::vector<float> values;
  for (size_t k = 0; k < velocities.size(); ++k) {
    const Vec3& v = velocities[k];
    values.insert(values.end(), {v.x, v.y, v.z});
    const float base = static_cast<float>(k) + 0.5f;
    for (int i = 0; i < scalars; ++i) {
      values.push_back(i == 0 ? base : i == 1 ? -base : 1000.0f + static_cast<float>(k));
    }
  }
  return FloatBytes(values);
}

std::vector<Vec3> LatticePositions(int width, int height, int depth, float step) {
  std::vector<Vec3> positions;
  for (int s = 0; s < depth; ++s) {
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        positions.emplace_back(static_cast<float>(c) * step, static_cast<float>(r) * step,
                               static_cast<float>(s));
      }
    }
  }
  return positions;
}

HostileDataSet LatticeSet(const std::string& name, int width, int height, int depth, int scalars,
                          Vec3 velocity) {
  const std::vector<Vec3> positions = LatticePositions(width, height, depth, 1.0f);
  return {name, GridFileBytes(HeaderText(width, height, depth, scalars), positions),
          DataFileBytes(std::vector<Vec3>(positions.size(), velocity), scalars)};
}

std::string WriteDataSet(const TempDir& dir, const HostileDataSet& set) {
  WriteBytes(dir.File(set.name + ".gri"), set.grid);
  WriteBytes(dir.File(set.name + ".00000.dat"), set.data);
  return dir.File(set.name + ".gri");
}

}  // namespace vortana::testing
