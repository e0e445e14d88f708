// Reads hostile data sets. One input is cut into a grid file and a data file: its first four
// bytes, little-endian, give the grid file's length (taken modulo what is left, plus one), the
// grid file follows and the data file is the rest. The pair is loaded from memory, and whatever
// loads is sampled with VelocityAt and NodeAt at points taken from the input and from the
// statistics (edges, just beyond them, non-finite values), and drawn small: background, arrow
// plot and one streamline. The header scanner also gets the raw bytes. A finding is a crash, a sanitizer
// report, a run that does not end, or an answer from outside the node array.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "data/byte_source.h"
#include "data/data_set_series.h"
#include "data/field_reader.h"
#include "data/flow_field.h"
#include "render/arrow_plot.h"
#include "render/background.h"
#include "render/colour_ramp.h"
#include "render/streamline.h"
#include "render/surface.h"

namespace {

using vortana::FlowField;
using vortana::GridPoint;

/// The names the two inputs are offered under; nothing is written anywhere.
const std::string kBaseName = "case";

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "loader_fuzz: %s\n", what);
  std::abort();
}

float FloatAt(const uint8_t* bytes) {
  uint32_t bits = 0;
  std::memcpy(&bits, bytes, 4);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

bool SameBits(const vortana::Vec3& a, const vortana::Vec3& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

/// Query points: the edges of the domain and of the largest coordinates, the values just beyond
/// them, a few node positions, non-finite values, and floats straight from the input.
std::vector<float> QueryValues(const FlowField& field, bool alongX, const uint8_t* data,
                               size_t size) {
  const vortana::FieldStatistics& s = field.Stats();
  const float lo = alongX ? s.minPosition.x : s.minPosition.y;
  const float hi = alongX ? s.maxPosition.x : s.maxPosition.y;
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<float> values = {lo,
                               hi,
                               std::nextafter(lo, -inf),
                               std::nextafter(hi, inf),
                               static_cast<float>((static_cast<double>(lo) + hi) / 2),
                               0.0f,
                               -0.0f,
                               inf,
                               -inf,
                               std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::denorm_min(),
                               vortana::kFloatMax};
  const std::vector<GridPoint>& nodes = field.Nodes();
  for (const size_t k : {size_t{0}, size_t{1}, nodes.size() / 2, nodes.size() - 1}) {
    if (k < nodes.size()) values.push_back(alongX ? nodes[k].position.x : nodes[k].position.y);
  }
  for (size_t at = alongX ? 0 : 4; at + 4 <= size && values.size() < 24; at += 37) {
    values.push_back(FloatAt(data + at));
  }
  return values;
}

void CheckSampling(const FlowField& field, const uint8_t* data, size_t size) {
  const std::vector<GridPoint>& nodes = field.Nodes();
  const std::vector<float> xs = QueryValues(field, true, data, size);
  const std::vector<float> ys = QueryValues(field, false, data, size);
  const vortana::FieldStatistics& s = field.Stats();
  const size_t sliceNodes = static_cast<size_t>(std::max<int>(field.Width(), 0)) *
                            static_cast<size_t>(std::max<int>(field.Height(), 0));
  for (const float x : xs) {
    for (const float y : ys) {
      const vortana::Vec3 v = field.VelocityAt(x, y);
      if (!field.HasCell()) {
        Require(SameBits(v, vortana::Vec3{}), "a field without a cell answered a velocity");
      } else if (x < s.minPosition.x || x > s.maxPosition.x || y < s.minPosition.y ||
                 y > s.maxPosition.y) {
        Require(SameBits(v, nodes[0].velocity), "outside the domain the answer is not node 0's");
      }
      const GridPoint& node = field.NodeAt(x, y);
      if (!nodes.empty() && field.Width() > 0 && field.Height() > 0) {
        const bool inArray = std::less_equal<const GridPoint*>()(nodes.data(), &node) &&
                             std::less<const GridPoint*>()(&node, nodes.data() + sliceNodes);
        Require(inArray, "NodeAt answered a node outside slice 0 of the node array");
      }
    }
  }
}

/// The pictures, small: a 48 x 40 area keeps each run fast and its sides unequal.
void DrawSmall(const FlowField& field, const uint8_t* data, size_t size) {
  if (!field.HasCell()) return;
  constexpr int kWidth = 48;
  constexpr int kHeight = 40;
  const vortana::FieldStatistics& s = field.Stats();
  vortana::PixelMap map;
  map.width = kWidth;
  map.height = kHeight;
  map.scaleX = static_cast<float>(static_cast<double>(s.maxPosition.x) / kWidth);
  map.scaleY = static_cast<float>(static_cast<double>(s.maxPosition.y) / kHeight);
  const uint8_t choice = size > 0 ? data[size - 1] : 0;

  vortana::Surface area(kWidth, kHeight);
  vortana::BackgroundLimits limits{s.maxSpeed, s.minScalar0, s.maxScalar0, s.minScalar1,
                                   s.maxScalar1};
  std::vector<vortana::Colour> buffer;
  bool valid = false;
  vortana::DrawBackground(field, map, choice % 3, limits, vortana::BuildColourRamp(), valid,
                          buffer, area);

  vortana::ArrowSettings arrows{8, (choice >> 2) & 1, s.maxSpeed};
  std::vector<vortana::ArrowRecord> records;
  vortana::DrawArrowPlot(field, map, arrows, vortana::kBlue, area, records);
  for (const vortana::ArrowRecord& r : records) {
    Require(r.x >= 0 && r.x < kWidth && r.y >= 0 && r.y < kHeight, "an arrow off the lattice");
  }

  vortana::TraceSettings trace{map, (choice >> 3) & 1, 0.01f * static_cast<float>(1 + choice % 20)};
  vortana::Streamline chain;
  vortana::TraceStreamline(field, trace, kWidth / 2, kHeight / 2, chain);
  for (size_t i = 1; i < chain.size(); ++i) {
    const vortana::PixelPoint p = chain[i];
    Require(p.x >= 0 && p.x < kWidth && p.y >= 0 && p.y < kHeight, "a streamline left the area");
  }
}

/// The series of the same pair: step 1 is step 0 again, node for node; step 2 either loads
/// the same (the data file had bytes to spare) or fails naming its own data file.
void CheckSeries(vortana::MemoryStore& store, const vortana::LoadResult& loaded, int steps) {
  vortana::DataSetSeries series(kBaseName + ".gri", store);
  const vortana::LoadResult first = series.Open();
  Require(first.Ok() == loaded.Ok(), "the series opens where the load fails, or the other way");
  if (!first.Ok()) return;
  Require(series.StepCount() == steps && loaded.StepCount() == steps, "step count");
  const std::vector<GridPoint>& nodes = first.Field()->Nodes();
  for (int step = 1; step < steps; ++step) {
    const vortana::LoadResult again = series.Read(step);
    if (!again.Ok()) {
      Require(step == 2 && again.Failure().file == kBaseName + ".00002.dat",
              "a step failed that holds step 0's bytes, or its failure names another file");
      continue;
    }
    const std::vector<GridPoint>& same = again.Field()->Nodes();
    // memcmp is not to be handed the null data of an empty field, even for no bytes.
    Require(same.size() == nodes.size() &&
                (nodes.empty() ||
                 std::memcmp(same.data(), nodes.data(), nodes.size() * sizeof(GridPoint)) == 0),
            "a later step of the same bytes differs from step 0");
  }
  Require(!series.Read(steps).Ok(), "a step beyond the series loaded");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The header scanner on raw bytes, also on fewer than 40 and with no NUL anywhere.
  vortana::ParseGridHeader(reinterpret_cast<const char*>(data), size);
  if (size < 4) return 0;

  uint32_t split = 0;
  std::memcpy(&split, data, 4);
  const uint8_t* rest = data + 4;
  const size_t restSize = size - 4;
  const size_t gridSize = split % (restSize + 1);
  vortana::ParseGridHeader(reinterpret_cast<const char*>(rest), gridSize);

  // Read from memory through the same reader choice as a path the user names. Step 1 repeats
  // step 0's data file and step 2 lacks its last byte, so that the series is read too.
  vortana::MemoryStore store;
  const size_t dataSize = restSize - gridSize;
  store.Add(kBaseName + ".gri", {rest, gridSize});
  store.Add(kBaseName + ".00000.dat", {rest + gridSize, dataSize});
  store.Add(kBaseName + ".00001.dat", {rest + gridSize, dataSize});
  if (dataSize > 0) store.Add(kBaseName + ".00002.dat", {rest + gridSize, dataSize - 1});
  vortana::LoadResult loaded = vortana::LoadDataSet(kBaseName + ".gri", store);
  CheckSeries(store, loaded, dataSize > 0 ? 3 : 2);
  if (!loaded.Ok()) {
    Require(loaded.Field() == nullptr, "a refused data set left a field behind");
    Require(loaded.Message().find(kBaseName) != std::string::npos &&
                loaded.Message().find(loaded.Failure().file) != std::string::npos,
            "a load failure does not name its file");
    return 0;
  }
  const std::unique_ptr<FlowField> field = loaded.TakeField();
  Require(field != nullptr, "Load returned no field");
  const int64_t declared = int64_t{field->Width()} * field->Height() * field->Depth();
  Require(static_cast<int64_t>(field->Nodes().size()) == declared, "node count differs");
  Require(field->RowOffsets().size() == static_cast<size_t>(std::max<int>(field->Height(), 0)),
          "row offset table of the wrong length");

  CheckSampling(*field, rest, restSize);
  DrawSmall(*field, rest, restSize);
  return 0;
}
