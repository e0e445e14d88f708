#pragma once

#include <string>
#include <vector>

#include "data/base_name.h"
#include "data/output_file.h"

namespace vortana {

class FlowField;

/// Writes the time steps of a data set as a file pair with one data file per step: the grid file
/// (as WriteFlowFiles writes it) from the first step, then baseName + ".NNNNN.dat" per step. No
/// file replaces an old one until every file is complete.
class FlowStepsWriter {
 public:
  explicit FlowStepsWriter(std::string baseName) : baseName_(std::move(baseName)) {}

  /// Writes the next step; every step must have the first step's dimensions.
  [[nodiscard]] std::string Add(const FlowField& field);
  /// Puts every file in place; returns the failure, or nothing.
  [[nodiscard]] std::string Commit();

 private:
  std::string baseName_;
  std::vector<OutputFile> files_;
  int width_ = 0, height_ = 0, depth_ = 0, scalarCount_ = 0;
};

}  // namespace vortana
