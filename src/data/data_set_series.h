#pragma once

#include <memory>
#include <string>

#include "data/field_reader.h"

namespace vortana {

struct PairGrid;

/// A data set opened once and read one time step at a time, for whoever shows or renders
/// several steps of it. Open() loads step 0 as LoadDataSet does and learns how many steps the
/// source holds; Read(step) then reads any of them. For the grid/data file pair the grid file is
/// read once, at Open(): a later step reads its data file only, and a step whose data file has
/// gone or is too short fails with that file's message while the other steps stay readable.
/// Read() may run on several threads at once when the store's Open() may (FileStore's does).
class DataSetSeries {
 public:
  /// `store` and `readers` must outlive the series.
  explicit DataSetSeries(std::string path, ByteStore& store,
                         const ReaderSet& readers = ReaderSet::Standard());
  ~DataSetSeries();

  /// Loads step 0; its field is the caller's. After a failure the series holds no steps.
  LoadResult Open();

  /// How many steps Open() found (0 before it, or after it failed).
  int StepCount() const { return stepCount_; }

  /// Reads step `step`, with StepCount() as its count; a step outside 0 to StepCount() - 1 is
  /// refused with the reader's message for it.
  LoadResult Read(int step) const;

 private:
  std::string path_;
  ByteStore& store_;
  const ReaderSet& readers_;
  const FieldReader* reader_ = nullptr;
  std::unique_ptr<const PairGrid> pairGrid_;  // the pair's grid, when the source is a pair
  int stepCount_ = 0;
};

}  // namespace vortana
