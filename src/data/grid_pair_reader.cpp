#include "data/grid_pair_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "data/base_name.h"
#include "data/field_builder.h"
#include "data/large_pages.h"
#include "data/little_endian.h"

namespace vortana {

namespace {

/// Bytes of x, y, z per node in the grid file.
constexpr uint64_t kGridNodeBytes = 12;
/// The files are read in blocks of about this size; a node never straddles two blocks.
constexpr uint64_t kReadBlockBytes = uint64_t{2} << 20;

constexpr char kMagic[] = "SN4DB";
constexpr char kDataSuffix[] = ".00000.dat";

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

/// Scalars that the data file holds per node; a negative count holds none.
uint64_t StoredScalars(int scalarCount) { return static_cast<uint64_t>(std::max(scalarCount, 0)); }

uint64_t DataNodeBytes(int scalarCount) { return 4 * (3 + StoredScalars(scalarCount)); }

/// Refuses a header whose numbers a field cannot hold; returns the reason, or nothing.
std::string CheckHeader(const GridHeader& header, const std::string& gridName) {
  if (!header.hasMagic) return gridName + " does not begin with SN4DB";
  const std::pair<const char*, int> dimensions[] = {
      {"width", header.width}, {"height", header.height}, {"depth", header.depth}};
  for (const auto& [what, value] : dimensions) {
    if (value < 0 || value > kMaxDimension) {
      return gridName + " declares " + what + " " + std::to_string(value) + ", outside 0 to " +
             std::to_string(kMaxDimension);
    }
  }
  if (header.scalarCount > kMaxDimension) {
    return gridName + " declares " + std::to_string(header.scalarCount) +
           " scalars per node, more than " + std::to_string(kMaxDimension);
  }
  const int64_t nodeCount = int64_t{header.width} * header.height * header.depth;
  if (nodeCount > INT32_MAX) {
    return gridName + " declares " + std::to_string(header.width) + " x " +
           std::to_string(header.height) + " x " + std::to_string(header.depth) +
           " nodes, more than a field can hold (" + std::to_string(INT32_MAX) + ")";
  }
  return {};
}

/// A header whose scan stopped before the depth loads (the dimensions not read are 0), but the
/// field it gives has nothing to draw; this says why, for whoever must explain that.
std::string DimensionsNotice(const GridHeader& header, const std::string& gridName) {
  static constexpr const char* kDimensions[] = {"width", "height", "depth"};
  if (header.integersRead >= 3) return {};
  const std::string what = kDimensions[header.integersRead];
  return header.textEnded ? gridName + ": the header ends before its " + what
                          : gridName + ": the header's " + what + " is not a number";
}

std::string DataTooShort(const ByteSource& data, uint64_t nodeCount, int scalarCount) {
  return data.Name() + " holds " + std::to_string(data.Size()) + " bytes; the header declares " +
         std::to_string(nodeCount) + " nodes of " + std::to_string(DataNodeBytes(scalarCount)) +
         " bytes";
}

/// Refuses files that are shorter than the header declares, before anything is allocated.
std::string CheckFileSizes(const ByteSource& grid, const ByteSource& data, uint64_t nodeCount,
                           int scalarCount) {
  const uint64_t gridNeeds = kGridHeaderBytes + kGridNodeBytes * nodeCount;
  if (grid.Size() < gridNeeds) {
    return grid.Name() + " holds " + std::to_string(grid.Size()) + " bytes; the header declares " +
           std::to_string(nodeCount) + " nodes of " + std::to_string(kGridNodeBytes) +
           " bytes after the " + std::to_string(kGridHeaderBytes) + "-byte header";
  }
  if (data.Size() < DataNodeBytes(scalarCount) * nodeCount) {
    return DataTooShort(data, nodeCount, scalarCount);
  }
  return {};
}

/// The blocks the files are read into: as many nodes of each as fit the block size, and no
/// more than the field has.
struct ReadBuffers {
  uint64_t nodesPerBlock;
  std::vector<unsigned char> grid;
  std::vector<unsigned char> data;
};

ReadBuffers MakeReadBuffers(uint64_t nodeCount, uint64_t dataNodeBytes, bool withGrid) {
  const uint64_t perBlock = std::min(std::max<uint64_t>(1, kReadBlockBytes / dataNodeBytes),
                                     std::max<uint64_t>(1, nodeCount));
  return {perBlock, std::vector<unsigned char>(withGrid ? perBlock * kGridNodeBytes : 0),
          std::vector<unsigned char>(perBlock * dataNodeBytes)};
}

/// Reads every node in node order, one block of nodes at a time, and hands each decoded node to
/// the builder; `positions(first, count)` gives the positions of a block's nodes, as a pointer
/// to either 12-byte file records (`Record`) or Vec3s. The result is what reading one value
/// after the other gives.
template <typename Position, typename Positions>
std::string ReadNodes(ByteSource& data, ReadBuffers& buffers, uint64_t nodeCount, int scalarCount,
                      Positions positions, FieldBuilder& builder) {
  const uint64_t dataNodeBytes = DataNodeBytes(scalarCount);
  const uint64_t scalarsKept = std::min<uint64_t>(StoredScalars(scalarCount), 2);
  for (uint64_t done = 0; done < nodeCount;) {
    const uint64_t count = std::min(buffers.nodesPerBlock, nodeCount - done);
    const Position* p = nullptr;
    if (auto error = positions(done, count, p); !error.empty()) return error;
    if (auto error = data.ReadExactly(buffers.data.data(), count * dataNodeBytes);
        !error.empty()) {
      return error;
    }
    const unsigned char* d = buffers.data.data();
    for (uint64_t i = 0; i < count; ++i, ++p, d += dataNodeBytes) {
      GridPoint node;
      if constexpr (std::is_same_v<Position, Vec3>) {
        node.position = *p;
      } else {
        node.position = {LoadFloatLE(p->bytes), LoadFloatLE(p->bytes + 4),
                         LoadFloatLE(p->bytes + 8)};
      }
      node.velocity = {LoadFloatLE(d), LoadFloatLE(d + 4), LoadFloatLE(d + 8)};
      // Scalars the file does not hold stay 0; those after the second are dropped.
      node.scalar0 = scalarsKept >= 1 ? LoadFloatLE(d + 12) : 0.0f;
      node.scalar1 = scalarsKept >= 2 ? LoadFloatLE(d + 16) : 0.0f;
      builder.Add(node);
    }
    done += count;
  }
  return {};
}

/// One node's x, y, z as the grid file holds them.
struct Record {
  unsigned char bytes[kGridNodeBytes];
};
static_assert(sizeof(Record) == kGridNodeBytes);

/// Reads a pair whose files are open, the data file being any step's.
LoadResult ReadOpenPair(ByteSource& grid, ByteSource& data) {
  const std::string& gridName = grid.Name();
  const std::string& dataName = data.Name();
  if (grid.Size() < kGridHeaderBytes) {
    return LoadResult::Failed(gridName, gridName + " holds " + std::to_string(grid.Size()) +
                                            " bytes; a grid file begins with a " +
                                            std::to_string(kGridHeaderBytes) + "-byte header");
  }
  char headerText[kGridHeaderBytes];
  if (auto error = grid.ReadExactly(headerText, sizeof headerText); !error.empty()) {
    return LoadResult::Failed(gridName, error);
  }
  const GridHeader header = ParseGridHeader(headerText, sizeof headerText);
  if (auto error = CheckHeader(header, gridName); !error.empty()) {
    return LoadResult::Failed(gridName, error);
  }

  const uint64_t nodeCount =
      static_cast<uint64_t>(int64_t{header.width} * header.height * header.depth);
  if (auto error = CheckFileSizes(grid, data, nodeCount, header.scalarCount); !error.empty()) {
    return LoadResult::Failed(error.starts_with(gridName) ? gridName : dataName, error);
  }

  // Each allocation is refused with its own message: the node array can be far larger than
  // memory allows, and a load that cannot finish must leave nothing half made.
  const char* doing = "hold the ";
  try {
    FieldBuilder builder(FieldShape{header.width, header.height, header.depth,
                                    header.scalarCount, header.spare, header.real, true});
    AskForLargePages(builder.ReserveNodes(), nodeCount * sizeof(GridPoint));
    doing = "read ";
    ReadBuffers buffers = MakeReadBuffers(nodeCount, DataNodeBytes(header.scalarCount), true);
    auto records = [&](uint64_t, uint64_t count, const Record*& first) {
      first = reinterpret_cast<const Record*>(buffers.grid.data());
      return grid.ReadExactly(buffers.grid.data(), count * kGridNodeBytes);
    };
    if (auto error = ReadNodes<Record>(data, buffers, nodeCount, header.scalarCount, records,
                                       builder);
        !error.empty()) {
      return LoadResult::Failed(error.starts_with(gridName) ? gridName : dataName, error);
    }
    doing = "index the ";
    return LoadResult::Loaded(builder.Finish(), DimensionsNotice(header, gridName));
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(gridName, "there is not enough memory to " + std::string(doing) +
                                            std::to_string(nodeCount) + " nodes of " + gridName);
  }
}

/// Opens the grid file and `dataName` and reads them as a pair.
LoadResult ReadPairFiles(const std::string& baseName, const std::string& dataName,
                         ByteStore& store) {
  // Both opens are attempted before either is looked at; the grid file is reported first.
  const std::string gridName = GridFileName(baseName);
  std::string gridError;
  std::string dataError;
  const std::unique_ptr<ByteSource> grid = store.Open(gridName, gridError);
  const std::unique_ptr<ByteSource> data = store.Open(dataName, dataError);
  if (!grid) return LoadResult::Failed(gridName, gridError);
  if (!data) return LoadResult::Failed(dataName, dataError);
  return ReadOpenPair(*grid, *data);
}

/// A step beyond those the pair has.
LoadResult NoSuchStep(const std::string& baseName, int step, int stepCount,
                      const std::string& seriesNotice) {
  std::string message = GridFileName(baseName) + " holds " +
                        (stepCount == 1 ? std::string("one time step")
                                        : std::to_string(stepCount) + " time steps") +
                        ", not step " + std::to_string(step);
  if (!seriesNotice.empty()) message += " (" + seriesNotice + ")";
  // The file at fault is the one missing, where the step has a name.
  const bool named = step >= 0 && step <= GridPairReader::kLastStep;
  LoadResult result = LoadResult::Failed(
      named ? StepDataFileName(baseName, step) : GridFileName(baseName), message);
  result.SetStepCount(stepCount);
  return result;
}

}  // namespace

bool GridPairReader::ClaimsName(std::string_view path) const {
  return EndsWith(path, ".gri") || EndsWith(path, kDataSuffix);
}

bool GridPairReader::ClaimsContents(std::span<const unsigned char> head) const {
  const std::size_t length = sizeof kMagic - 1;
  return head.size() >= length && std::memcmp(head.data(), kMagic, length) == 0;
}

LoadResult GridPairReader::Read(const std::string& path, ByteStore& store,
                                const ReadRequest& request) const {
  const std::string baseName = BaseNameOfPath(path);
  std::string seriesNotice;
  const int stepCount = CountSteps(baseName, store, seriesNotice);
  if (request.step < 0 || request.step >= stepCount) {
    return NoSuchStep(baseName, request.step, stepCount, seriesNotice);
  }
  LoadResult result = ReadPairFiles(baseName, StepDataFileName(baseName, request.step), store);
  // Without a usable grid file there is no data set to count the steps of.
  if (result.Ok() || result.Failure().file != GridFileName(baseName)) {
    result.SetStepCount(stepCount);
  }
  result.SetSeriesNotice(std::move(seriesNotice));
  return result;
}

LoadResult GridPairReader::ReadPair(const std::string& baseName, ByteStore& store) {
  return ReadPairFiles(baseName, DataFileName(baseName), store);
}

int GridPairReader::CountSteps(const std::string& baseName, ByteStore& store,
                               std::string& notice) {
  notice.clear();
  std::string ignored;
  int step = 1;
  while (step <= kLastStep && store.Open(StepDataFileName(baseName, step), ignored)) ++step;
  if (step < kLastStep && store.Open(StepDataFileName(baseName, step + 1), ignored)) {
    notice = StepDataFileName(baseName, step) + " is missing, so the time steps end at step " +
             std::to_string(step - 1) + "; " + StepDataFileName(baseName, step + 1) +
             " and any later steps are not read";
  }
  return step;
}

std::unique_ptr<PairGrid> GridPairReader::GridOf(const std::string& path, const FlowField& field,
                                                 const LoadResult& loaded) {
  auto grid = std::make_unique<PairGrid>();
  grid->baseName = BaseNameOfPath(path);
  grid->shape = FieldShape{field.Width(),       field.Height(),
                           field.Depth(),       field.ScalarCount(),
                           field.SpareHeaderInteger(), field.HeaderReal(), true};
  grid->positions.reserve(field.Nodes().size());
  for (const GridPoint& node : field.Nodes()) grid->positions.push_back(node.position);
  grid->notice = loaded.Notice();
  grid->stepCount = loaded.StepCount();
  grid->seriesNotice = loaded.SeriesNotice();
  return grid;
}

LoadResult GridPairReader::ReadStep(const PairGrid& grid, int step, ByteStore& store) {
  if (step < 0 || step >= grid.stepCount) {
    return NoSuchStep(grid.baseName, step, grid.stepCount, grid.seriesNotice);
  }
  const std::string dataName = StepDataFileName(grid.baseName, step);
  std::string error;
  const std::unique_ptr<ByteSource> data = store.Open(dataName, error);
  LoadResult result = [&] {
    if (!data) return LoadResult::Failed(dataName, error);
    const uint64_t nodeCount = grid.positions.size();
    const int scalarCount = grid.shape.scalarCount;
    if (data->Size() < DataNodeBytes(scalarCount) * nodeCount) {
      return LoadResult::Failed(dataName, DataTooShort(*data, nodeCount, scalarCount));
    }
    const char* doing = "hold the ";
    try {
      FieldBuilder builder(grid.shape);
      AskForLargePages(builder.ReserveNodes(), nodeCount * sizeof(GridPoint));
      doing = "read ";
      ReadBuffers buffers = MakeReadBuffers(nodeCount, DataNodeBytes(scalarCount), false);
      auto kept = [&](uint64_t first, uint64_t, const Vec3*& at) {
        at = grid.positions.data() + first;
        return std::string();
      };
      if (auto failure = ReadNodes<Vec3>(*data, buffers, nodeCount, scalarCount, kept, builder);
          !failure.empty()) {
        return LoadResult::Failed(dataName, failure);
      }
      doing = "index the ";
      return LoadResult::Loaded(builder.Finish(), grid.notice);
    } catch (const std::bad_alloc&) {
      return LoadResult::Failed(dataName, "there is not enough memory to " + std::string(doing) +
                                              std::to_string(nodeCount) + " nodes of " +
                                              dataName);
    }
  }();
  result.SetStepCount(grid.stepCount);
  result.SetSeriesNotice(grid.seriesNotice);
  return result;
}

}  // namespace vortana
