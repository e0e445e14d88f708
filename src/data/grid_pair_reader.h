#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/field_builder.h"
#include "data/field_reader.h"

namespace vortana {

/// What reading any time step of a pair needs from its grid file, kept once step 0 has loaded,
/// so that a later step reads its data file only.
struct PairGrid {
  std::string baseName;
  FieldShape shape;
  std::vector<Vec3> positions;  // every node's, in node order
  std::string notice;           // about the grid's header; every step has it
  int stepCount = 1;
  std::string seriesNotice;  // where a gap ended the steps
};

/// The grid/data file pair: NAME.gri (a 40-byte text header "SN4DB width height depth scalars
/// spare real", then x, y, z of every node) and NAME.00000.dat (u, v, w and the scalars of every
/// node), little-endian float32. Either file's path opens the pair. Further time steps are the
/// data files NAME.00001.dat, NAME.00002.dat, ... up to NAME.99999.dat, all on NAME.gri; the
/// first one missing ends them.
class GridPairReader final : public FieldReader {
 public:
  /// The last step number a data file name can hold.
  static constexpr int kLastStep = 99999;

  std::string_view Kind() const override { return "grid/data file pair"; }
  /// NAME.gri or NAME.00000.dat.
  bool ClaimsName(std::string_view path) const override;
  /// A grid file: it begins with SN4DB.
  bool ClaimsContents(std::span<const unsigned char> head) const override;
  /// Counts the steps, then reads the grid file and the requested step's data file.
  LoadResult Read(const std::string& path, ByteStore& store,
                  const ReadRequest& request) const override;

  /// Reads baseName + ".gri" and baseName + ".00000.dat"; the steps are not counted.
  static LoadResult ReadPair(const std::string& baseName, ByteStore& store);

  /// How many steps the pair has: step 0 and each further data file that opens, up to the first
  /// that does not. When a later one opens after all, `notice` says that the gap ended them.
  static int CountSteps(const std::string& baseName, ByteStore& store, std::string& notice);

  /// What later steps need of `loaded`, a pair's step 0 read from `path`.
  static std::unique_ptr<PairGrid> GridOf(const std::string& path, const FlowField& field,
                                          const LoadResult& loaded);
  /// Reads step `step`'s data file on `grid`, as Read would read that step.
  static LoadResult ReadStep(const PairGrid& grid, int step, ByteStore& store);
};

}  // namespace vortana
