#include "data/flow_file_writer.h"

#include <algorithm>
#include <cstdio>

#include "data/base_name.h"
#include "data/flow_field.h"
#include "data/little_endian.h"
#include "data/output_file.h"

namespace vortana {

namespace {

/// Nodes encoded before each write call.
constexpr std::size_t kNodesPerBlock = 1 << 16;

void AppendFloat(std::vector<unsigned char>& bytes, float value) {
  unsigned char encoded[4];
  StoreFloatLE(value, encoded);
  bytes.insert(bytes.end(), encoded, encoded + 4);
}

}  // namespace

void AppendGridNode(std::vector<unsigned char>& bytes, const GridPoint& node) {
  AppendFloat(bytes, node.position.x);
  AppendFloat(bytes, node.position.y);
  AppendFloat(bytes, node.position.z);
}

void AppendDataNode(std::vector<unsigned char>& bytes, const GridPoint& node, int scalarCount) {
  AppendFloat(bytes, node.velocity.x);
  AppendFloat(bytes, node.velocity.y);
  AppendFloat(bytes, node.velocity.z);
  for (int s = 0; s < scalarCount; ++s) {
    AppendFloat(bytes, s == 0 ? node.scalar0 : s == 1 ? node.scalar1 : 0.0f);
  }
}

std::string WriteFlowFiles(const std::string& baseName, int width, int height, int depth,
                           int scalarCount, const std::vector<GridPoint>& nodes) {
  if (width < 0 || height < 0 || depth < 0 ||
      nodes.size() != static_cast<uint64_t>(int64_t{width} * height * depth)) {
    return "the nodes do not fill a grid of " + std::to_string(width) + " x " +
           std::to_string(height) + " x " + std::to_string(depth);
  }
  char header[kGridHeaderBytes + 1];
  const int length = std::snprintf(header, sizeof header, "SN4DB %d %d %d %d 0 0.0", width, height,
                                   depth, scalarCount);
  if (length < 0 || static_cast<std::size_t>(length) > kGridHeaderBytes) {
    return "the grid header would not fit in " + std::to_string(kGridHeaderBytes) + " bytes";
  }
  std::fill(header + length, header + kGridHeaderBytes, ' ');

  OutputFile grid = OutputFile::Create(GridFileName(baseName), "the grid file");
  OutputFile data = OutputFile::Create(DataFileName(baseName), "the data file");
  grid.Write(reinterpret_cast<const unsigned char*>(header), kGridHeaderBytes);

  std::vector<unsigned char> gridBytes;
  std::vector<unsigned char> dataBytes;
  for (std::size_t first = 0; first < nodes.size(); first += kNodesPerBlock) {
    gridBytes.clear();
    dataBytes.clear();
    const std::size_t last = std::min(nodes.size(), first + kNodesPerBlock);
    for (std::size_t i = first; i < last; ++i) {
      AppendGridNode(gridBytes, nodes[i]);
      AppendDataNode(dataBytes, nodes[i], scalarCount);
    }
    grid.Write(gridBytes.data(), gridBytes.size());
    data.Write(dataBytes.data(), dataBytes.size());
  }
  // Both files are complete before either replaces an old one, so that a failure leaves the old
  // pair as it was rather than a new grid beside old data.
  const std::string gridError = grid.Finish();
  const std::string dataError = data.Finish();
  if (!gridError.empty() || !dataError.empty()) return !gridError.empty() ? gridError : dataError;
  if (std::string error = grid.Commit(); !error.empty()) return error;
  return data.Commit();
}

}  // namespace vortana
