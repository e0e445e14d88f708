#include "data/flow_steps_writer.h"

#include <algorithm>
#include <cstdio>

#include "data/base_name.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"

namespace vortana {

std::string FlowStepsWriter::Add(const FlowField& field) {
  const std::vector<GridPoint>& nodes = field.Nodes();
  const int step = files_.empty() ? 0 : static_cast<int>(files_.size()) - 1;
  if (files_.empty()) {
    width_ = field.Width();
    height_ = field.Height();
    depth_ = field.Depth();
    scalarCount_ = std::max<int>(field.ScalarCount(), 0);
    char header[kGridHeaderBytes + 1];
    const int length = std::snprintf(header, sizeof header, "SN4DB %d %d %d %d 0 0.0", width_,
                                     height_, depth_, scalarCount_);
    if (length < 0 || static_cast<std::size_t>(length) > kGridHeaderBytes) {
      return "the grid header would not fit in " + std::to_string(kGridHeaderBytes) + " bytes";
    }
    std::fill(header + length, header + kGridHeaderBytes, ' ');
    OutputFile& grid = files_.emplace_back(OutputFile::Create(GridFileName(baseName_), "the grid file"));
    grid.Write(header, kGridHeaderBytes);
    std::vector<unsigned char> bytes;
    bytes.reserve(nodes.size() * 12);
    for (const GridPoint& node : nodes) AppendGridNode(bytes, node);
    grid.Write(bytes.data(), bytes.size());
    if (std::string error = grid.Finish(); !error.empty()) return error;
  } else if (field.Width() != width_ || field.Height() != height_ || field.Depth() != depth_) {
    return "step " + std::to_string(step) + " has other dimensions than step 0";
  }
  OutputFile& data =
      files_.emplace_back(OutputFile::Create(StepDataFileName(baseName_, step), "the data file"));
  std::vector<unsigned char> bytes;
  bytes.reserve(nodes.size() * 4 * (3 + scalarCount_));
  for (const GridPoint& node : nodes) AppendDataNode(bytes, node, scalarCount_);
  data.Write(bytes.data(), bytes.size());
  // Closed at once, so that many steps do not hold many files open; committed together.
  return data.Finish();
}

std::string FlowStepsWriter::Commit() {
  for (OutputFile& file : files_) {
    if (std::string error = file.Commit(); !error.empty()) return error;
  }
  return {};
}

}  // namespace vortana
