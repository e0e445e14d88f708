#include "data/data_set_series.h"

#include <utility>

#include "data/flow_field.h"
#include "data/grid_pair_reader.h"

namespace vortana {

DataSetSeries::DataSetSeries(std::string path, ByteStore& store, const ReaderSet& readers)
    : path_(std::move(path)), store_(store), readers_(readers) {}

DataSetSeries::~DataSetSeries() = default;

LoadResult DataSetSeries::Open() {
  reader_ = nullptr;
  pairGrid_.reset();
  stepCount_ = 0;
  LoadResult first = LoadDataSet(path_, store_, readers_, ReadRequest{0});
  if (!first.Ok()) return first;
  reader_ = &readers_.Choose(path_, store_);
  stepCount_ = first.StepCount();
  if (dynamic_cast<const GridPairReader*>(reader_) != nullptr) {
    pairGrid_ = GridPairReader::GridOf(path_, *first.Field(), first);
  }
  return first;
}

LoadResult DataSetSeries::Read(int step) const {
  if (reader_ == nullptr) {
    return LoadResult::Failed(path_, path_ + " is not open: it did not load");
  }
  if (pairGrid_) return GridPairReader::ReadStep(*pairGrid_, step, store_);
  return reader_->Read(path_, store_, ReadRequest{step});
}

}  // namespace vortana
