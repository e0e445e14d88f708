#include "data/grid_pair_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
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

/// Refuses files that are shorter than the header declares, before anything is allocated.
std::string CheckFileSizes(const ByteSource& grid, const ByteSource& data, uint64_t nodeCount,
                           int scalarCount) {
  const uint64_t gridNeeds = kGridHeaderBytes + kGridNodeBytes * nodeCount;
  if (grid.Size() < gridNeeds) {
    return grid.Name() + " holds " + std::to_string(grid.Size()) + " bytes; the header declares " +
           std::to_string(nodeCount) + " nodes of " + std::to_string(kGridNodeBytes) +
           " bytes after the " + std::to_string(kGridHeaderBytes) + "-byte header";
  }
  const uint64_t dataNeeds = DataNodeBytes(scalarCount) * nodeCount;
  if (data.Size() < dataNeeds) {
    return data.Name() + " holds " + std::to_string(data.Size()) + " bytes; the header declares " +
           std::to_string(nodeCount) + " nodes of " + std::to_string(DataNodeBytes(scalarCount)) +
           " bytes";
  }
  return {};
}

/// The blocks the two files are read into: as many nodes of each as fit the block size, and no
/// more than the field has.
struct ReadBuffers {
  uint64_t nodesPerBlock;
  std::vector<unsigned char> grid;
  std::vector<unsigned char> data;
};

ReadBuffers MakeReadBuffers(uint64_t nodeCount, uint64_t dataNodeBytes) {
  const uint64_t perBlock = std::min(std::max<uint64_t>(1, kReadBlockBytes / dataNodeBytes),
                                     std::max<uint64_t>(1, nodeCount));
  return {perBlock, std::vector<unsigned char>(perBlock * kGridNodeBytes),
          std::vector<unsigned char>(perBlock * dataNodeBytes)};
}

/// Reads every node in node order, one block of nodes at a time from each file, and hands each
/// decoded node to the builder. The result is what reading one value after the other gives.
std::string ReadNodes(ByteSource& grid, ByteSource& data, ReadBuffers& buffers,
                      uint64_t nodeCount, int scalarCount, FieldBuilder& builder) {
  const uint64_t dataNodeBytes = DataNodeBytes(scalarCount);
  const uint64_t scalarsKept = std::min<uint64_t>(StoredScalars(scalarCount), 2);
  for (uint64_t done = 0; done < nodeCount;) {
    const uint64_t count = std::min(buffers.nodesPerBlock, nodeCount - done);
    if (auto error = grid.ReadExactly(buffers.grid.data(), count * kGridNodeBytes);
        !error.empty()) {
      return error;
    }
    if (auto error = data.ReadExactly(buffers.data.data(), count * dataNodeBytes);
        !error.empty()) {
      return error;
    }
    const unsigned char* g = buffers.grid.data();
    const unsigned char* d = buffers.data.data();
    for (uint64_t i = 0; i < count; ++i, g += kGridNodeBytes, d += dataNodeBytes) {
      GridPoint node;
      node.position = {LoadFloatLE(g), LoadFloatLE(g + 4), LoadFloatLE(g + 8)};
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
  if (request.step != 0) {
    return LoadResult::Failed(GridFileName(baseName), GridFileName(baseName) +
                                                          " holds one time step, not step " +
                                                          std::to_string(request.step));
  }
  return ReadPair(baseName, store);
}

LoadResult GridPairReader::ReadPair(const std::string& baseName, ByteStore& store) {
  // Both opens are attempted before either is looked at; the grid file is reported first.
  const std::string gridName = GridFileName(baseName);
  const std::string dataName = DataFileName(baseName);
  std::string gridError;
  std::string dataError;
  const std::unique_ptr<ByteSource> grid = store.Open(gridName, gridError);
  const std::unique_ptr<ByteSource> data = store.Open(dataName, dataError);
  if (!grid) return LoadResult::Failed(gridName, gridError);
  if (!data) return LoadResult::Failed(dataName, dataError);

  if (grid->Size() < kGridHeaderBytes) {
    return LoadResult::Failed(gridName, gridName + " holds " + std::to_string(grid->Size()) +
                                            " bytes; a grid file begins with a " +
                                            std::to_string(kGridHeaderBytes) + "-byte header");
  }
  char headerText[kGridHeaderBytes];
  if (auto error = grid->ReadExactly(headerText, sizeof headerText); !error.empty()) {
    return LoadResult::Failed(gridName, error);
  }
  const GridHeader header = ParseGridHeader(headerText, sizeof headerText);
  if (auto error = CheckHeader(header, gridName); !error.empty()) {
    return LoadResult::Failed(gridName, error);
  }

  const uint64_t nodeCount =
      static_cast<uint64_t>(int64_t{header.width} * header.height * header.depth);
  if (auto error = CheckFileSizes(*grid, *data, nodeCount, header.scalarCount); !error.empty()) {
    return LoadResult::Failed(error.starts_with(gridName) ? gridName : dataName, error);
  }

  // Each allocation is refused with its own message: the node array can be far larger than
  // memory allows, and a load that cannot finish must leave nothing half made.
  const char* doing = "hold the " ;
  try {
    FieldBuilder builder(FieldShape{header.width, header.height, header.depth,
                                    header.scalarCount, header.spare, header.real, true});
    AskForLargePages(builder.ReserveNodes(), nodeCount * sizeof(GridPoint));
    doing = "read ";
    ReadBuffers buffers = MakeReadBuffers(nodeCount, DataNodeBytes(header.scalarCount));
    if (auto error = ReadNodes(*grid, *data, buffers, nodeCount, header.scalarCount, builder);
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

}  // namespace vortana
