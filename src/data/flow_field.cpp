#include "data/flow_field.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "data/base_name.h"
#include "data/input_file.h"
#include "data/little_endian.h"

namespace vortana {

namespace {

/// Bytes of x, y, z per node in the grid file.
constexpr uint64_t kGridNodeBytes = 12;
/// The files are read in blocks of about this size; a node never straddles two blocks.
constexpr uint64_t kReadBlockBytes = uint64_t{2} << 20;

int16_t ClampToInt16(int value) {
  return static_cast<int16_t>(std::clamp(value, INT16_MIN, INT16_MAX));
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

/// Refuses files that are shorter than the header declares, before anything is allocated.
std::string CheckFileSizes(const InputFile& grid, const InputFile& data, uint64_t nodeCount,
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

/// Asks the system to back the node array with large pages where it can: the array is written
/// once from start to end, and a 32 MiB array then takes 16 page faults instead of 8192 (the
/// faults were about half of a load's time in the kernel), and traces that wander over the field
/// miss the address translation cache less often. Only whole large pages inside the array are
/// named; a system that will not, or has no such pages, is left alone.
void AskForLargePages(void* start, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = (first + bytes) & ~(kLargePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)start;
  (void)bytes;
#endif
}

/// Reads every node in node order, one block of nodes at a time from each file, and hands each
/// decoded node to `sink`. The result is what reading one value after the other gives.
template <typename Sink>
std::string ReadNodes(InputFile& grid, InputFile& data, uint64_t nodeCount, int scalarCount,
                      Sink&& sink) {
  const uint64_t dataNodeBytes = DataNodeBytes(scalarCount);
  const uint64_t scalarsKept = std::min<uint64_t>(StoredScalars(scalarCount), 2);
  const uint64_t nodesPerBlock = std::max<uint64_t>(1, kReadBlockBytes / dataNodeBytes);
  std::vector<unsigned char> gridBlock(nodesPerBlock * kGridNodeBytes);
  std::vector<unsigned char> dataBlock(nodesPerBlock * dataNodeBytes);
  for (uint64_t done = 0; done < nodeCount;) {
    const uint64_t count = std::min(nodesPerBlock, nodeCount - done);
    if (auto error = grid.ReadExactly(gridBlock.data(), count * kGridNodeBytes); !error.empty()) {
      return error;
    }
    if (auto error = data.ReadExactly(dataBlock.data(), count * dataNodeBytes); !error.empty()) {
      return error;
    }
    const unsigned char* g = gridBlock.data();
    const unsigned char* d = dataBlock.data();
    for (uint64_t i = 0; i < count; ++i, g += kGridNodeBytes, d += dataNodeBytes) {
      GridPoint node;
      node.position = {LoadFloatLE(g), LoadFloatLE(g + 4), LoadFloatLE(g + 8)};
      node.velocity = {LoadFloatLE(d), LoadFloatLE(d + 4), LoadFloatLE(d + 8)};
      // Scalars the file does not hold stay 0; those after the second are dropped.
      node.scalar0 = scalarsKept >= 1 ? LoadFloatLE(d + 12) : 0.0f;
      node.scalar1 = scalarsKept >= 2 ? LoadFloatLE(d + 16) : 0.0f;
      sink(node);
    }
    done += count;
  }
  return {};
}

}  // namespace

void FlowField::SetHeader(const GridHeader& header) {
  width_ = static_cast<int16_t>(header.width);
  height_ = static_cast<int16_t>(header.height);
  depth_ = static_cast<int16_t>(header.depth);
  scalarCount_ = ClampToInt16(header.scalarCount);
  spare_ = ClampToInt16(header.spare);
  headerReal_ = header.real;
  nodeCount_ = static_cast<int32_t>(int64_t{header.width} * header.height * header.depth);
}

// Strict comparisons throughout: a node equal to the current extreme leaves it as it is.
void FlowField::AddToStatistics(const GridPoint& node) {
  FieldStatistics& s = stats_;
  const Vec3& p = node.position;
  const Vec3& v = node.velocity;
  if (p.x < s.minPosition.x) s.minPosition.x = p.x;
  if (p.y < s.minPosition.y) s.minPosition.y = p.y;
  if (p.z < s.minPosition.z) s.minPosition.z = p.z;
  if (p.x > s.maxPosition.x) s.maxPosition.x = p.x;
  if (p.y > s.maxPosition.y) s.maxPosition.y = p.y;
  if (p.z > s.maxPosition.z) s.maxPosition.z = p.z;
  if (v.x > s.maxVelocity.x) s.maxVelocity.x = v.x;
  if (v.y > s.maxVelocity.y) s.maxVelocity.y = v.y;
  if (v.z > s.maxVelocity.z) s.maxVelocity.z = v.z;
  // The length is compared unrounded and only stored as a float.
  const double speed = v.Length();
  if (speed > s.maxSpeed) s.maxSpeed = static_cast<float>(speed);
  if (node.scalar0 < s.minScalar0) s.minScalar0 = node.scalar0;
  if (node.scalar1 < s.minScalar1) s.minScalar1 = node.scalar1;
  if (node.scalar0 > s.maxScalar0) s.maxScalar0 = node.scalar0;
  if (node.scalar1 > s.maxScalar1) s.maxScalar1 = node.scalar1;
}

void FlowField::BuildRowOffsets() {
  rowOffsets_.resize(std::max<int>(height_, 0));
  for (int r = 0; r < height_; ++r) rowOffsets_[r] = r * width_;
}

std::unique_ptr<FlowField> FlowField::FromNodes(int width, int height, int depth, int scalarCount,
                                                std::vector<GridPoint> nodes) {
  auto field = std::make_unique<FlowField>();
  GridHeader header;
  header.hasMagic = true;
  header.width = width;
  header.height = height;
  header.depth = depth;
  header.scalarCount = scalarCount;
  if (!CheckHeader(header, {}).empty() ||
      nodes.size() != static_cast<uint64_t>(int64_t{width} * height * depth)) {
    return field;
  }
  field->SetHeader(header);
  field->searchIndex_.Start(width, height);
  for (const GridPoint& node : nodes) {
    field->AddToStatistics(node);
    field->searchIndex_.Add(node);
  }
  field->nodes_ = std::move(nodes);
  field->FinishSearchIndex();
  field->BuildRowOffsets();
  return field;
}

std::unique_ptr<FlowField> FlowField::Load(const std::string& baseName, std::string& error) {
  error.clear();
  auto field = std::make_unique<FlowField>();

  // Both opens are attempted before either is looked at; the grid file is reported first.
  std::string gridError;
  std::string dataError;
  InputFile grid = InputFile::Open(GridFileName(baseName), gridError);
  InputFile data = InputFile::Open(DataFileName(baseName), dataError);
  if (!gridError.empty() || !dataError.empty()) {
    error = !gridError.empty() ? gridError : dataError;
    return field;
  }

  if (grid.Size() < kGridHeaderBytes) {
    error = grid.Name() + " holds " + std::to_string(grid.Size()) +
            " bytes; a grid file begins with a " + std::to_string(kGridHeaderBytes) +
            "-byte header";
    return field;
  }
  char headerText[kGridHeaderBytes];
  if (error = grid.ReadExactly(headerText, sizeof headerText); !error.empty()) return field;
  const GridHeader header = ParseGridHeader(headerText, sizeof headerText);
  if (error = CheckHeader(header, grid.Name()); !error.empty()) return field;

  const uint64_t nodeCount =
      static_cast<uint64_t>(int64_t{header.width} * header.height * header.depth);
  if (error = CheckFileSizes(grid, data, nodeCount, header.scalarCount); !error.empty()) {
    return field;
  }

  try {
    field->nodes_.reserve(nodeCount);
  } catch (const std::bad_alloc&) {
    error = "there is not enough memory for the " + std::to_string(nodeCount) + " nodes of " +
            grid.Name();
    return std::make_unique<FlowField>();
  }
  AskForLargePages(field->nodes_.data(), nodeCount * sizeof(GridPoint));
  field->SetHeader(header);
  field->searchIndex_.Start(header.width, header.height);
  FlowField& f = *field;
  error = ReadNodes(grid, data, nodeCount, header.scalarCount, [&f](const GridPoint& node) {
    f.nodes_.push_back(node);
    f.AddToStatistics(node);
    f.searchIndex_.Add(node);
  });
  if (!error.empty()) return std::make_unique<FlowField>();
  field->FinishSearchIndex();
  field->BuildRowOffsets();
  return field;
}

}  // namespace vortana
