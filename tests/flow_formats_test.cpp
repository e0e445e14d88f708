// The NumPy and VTK XML readers against the grid/data file pair: the same analytic flow,
// written by numpy and by a hand-made VTK writer (support/write_flow_formats.py) and by our own
// pair writer, must give the same field, node for node and statistic for statistic; and every
// source a field cannot be made of is refused with a message that names the file and the fault.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/byte_source.h"
#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::TempDir;

constexpr int kWidth = 5;
constexpr int kHeight = 4;

/// The flow of write_flow_formats.py, computed in double in the same order and stored as
/// float, as a float32 cast does.
std::vector<GridPoint> AnalyticNodes(int depth, int step) {
  std::vector<GridPoint> nodes;
  const double t = step;
  for (int si = 0; si < depth; ++si) {
    for (int ri = 0; ri < kHeight; ++ri) {
      for (int ci = 0; ci < kWidth; ++ci) {
        const double c = ci, r = ri, s = si;
        GridPoint node;
        node.position = {static_cast<float>(-1.0 + 0.25 * c), static_cast<float>(2.0 + 0.5 * r),
                         static_cast<float>(0.5 * s)};
        node.velocity = {static_cast<float>(0.1 * c + 0.01 * r + 0.001 * t + 0.0001 * s),
                         static_cast<float>(0.3 * r - 0.2 * c - t),
                         static_cast<float>(0.05 * c * r)};
        node.scalar0 = static_cast<float>(1.0 / (1.0 + c + r));
        node.scalar1 = static_cast<float>(0.7 * c - 0.3 * r + 0.11 * t);
        nodes.push_back(node);
      }
    }
  }
  return nodes;
}

class FlowFormatsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const std::string command = std::string(VORTANA_PYTHON3_NUMPY) + " " + VORTANA_FORMAT_WRITER +
                                " " + dir_->Path().string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  /// The field the pair gives for the analytic flow of `depth` slices at step `step`.
  static std::unique_ptr<FlowField> PairField(int depth, int step) {
    const std::string base =
        dir_->File("pair-" + std::to_string(depth) + "-" + std::to_string(step));
    EXPECT_EQ(WriteFlowFiles(base, kWidth, kHeight, depth, 2, AnalyticNodes(depth, step)), "");
    LoadResult loaded = LoadDataSet(base + ".gri");
    EXPECT_TRUE(loaded.Ok()) << loaded.Message();
    return loaded.TakeField();
  }

  static TempDir* dir_;
};

TempDir* FlowFormatsTest::dir_ = nullptr;

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameField(const FlowField& pair, const FlowField& other, const std::string& what) {
  ASSERT_EQ(other.Width(), pair.Width()) << what;
  ASSERT_EQ(other.Height(), pair.Height()) << what;
  ASSERT_EQ(other.Depth(), pair.Depth()) << what;
  EXPECT_EQ(other.ScalarCount(), pair.ScalarCount()) << what;
  ASSERT_EQ(other.Nodes().size(), pair.Nodes().size()) << what;
  for (std::size_t k = 0; k < pair.Nodes().size(); ++k) {
    const GridPoint& a = pair.Nodes()[k];
    const GridPoint& b = other.Nodes()[k];
    const float expected[] = {a.position.x, a.position.y, a.position.z, a.velocity.x,
                              a.velocity.y, a.velocity.z, a.scalar0,    a.scalar1};
    const float actual[] = {b.position.x, b.position.y, b.position.z, b.velocity.x,
                            b.velocity.y, b.velocity.z, b.scalar0,    b.scalar1};
    for (int q = 0; q < 8; ++q) {
      ASSERT_TRUE(SameBits(expected[q], actual[q]))
          << what << ": node " << k << " quantity " << q << ": " << actual[q] << " instead of "
          << expected[q];
    }
  }
  const FieldStatistics& s = pair.Stats();
  const FieldStatistics& t = other.Stats();
  const float expected[] = {s.minPosition.x, s.minPosition.y, s.minPosition.z, s.maxPosition.x,
                            s.maxPosition.y, s.maxPosition.z, s.maxVelocity.x, s.maxVelocity.y,
                            s.maxVelocity.z, s.maxSpeed,      s.minScalar0,    s.maxScalar0,
                            s.minScalar1,    s.maxScalar1};
  const float actual[] = {t.minPosition.x, t.minPosition.y, t.minPosition.z, t.maxPosition.x,
                          t.maxPosition.y, t.maxPosition.z, t.maxVelocity.x, t.maxVelocity.y,
                          t.maxVelocity.z, t.maxSpeed,      t.minScalar0,    t.maxScalar0,
                          t.minScalar1,    t.maxScalar1};
  for (int q = 0; q < 14; ++q) {
    EXPECT_TRUE(SameBits(expected[q], actual[q])) << what << ": statistic " << q;
  }
}

TEST_F(FlowFormatsTest, EveryFormAndEncodingGivesThePairsField) {
  struct Case {
    std::string file;
    int depth;
    int step;
  };
  const std::vector<Case> cases = {
      {"f64-c.npz", 1, 0},
      {"f32-c.npz", 1, 0},
      {"f64-fortran-compressed.npz", 1, 0},
      {"f32-big-endian-fortran.npz", 1, 0},
      {"f64-big-endian-compressed.npz", 1, 0},
      {"steps-c.npz", 1, 0},
      {"steps-c.npz", 1, 2},
      {"steps-fortran-compressed.npz", 1, 1},
      {"steps-fortran-compressed.npz", 1, 2},
      // Falling x: turned round with the data; a meshgrid of x and y reads as its axes.
      {"x-falling.npz", 1, 0},
      {"meshgrid.npz", 1, 0},
      {"ascii-f32.vti", 1, 0},
      {"ascii-f64.vti", 1, 0},
      {"binary-f32.vti", 1, 0},
      {"binary-joint-f64.vti", 1, 0},
      {"binary-zlib-uint64.vti", 1, 0},
      {"appended-raw-f32.vti", 1, 0},
      {"appended-raw-unaligned.vti", 1, 0},
      {"appended-raw-big-endian-f64.vti", 1, 0},
      {"appended-base64-f32.vti", 1, 0},
      {"appended-zlib-f64.vti", 1, 0},
      {"appended-base64-zlib.vti", 1, 0},
      {"named-u-not-active.vti", 1, 0},
      {"ascii.vtr", 1, 0},
      {"appended-raw-y-falling.vtr", 1, 0},
      {"binary-zlib.vtr", 1, 0},
      {"slices-appended-zlib.vti", 2, 0},
      {"slices-ascii.vtr", 2, 0},
  };
  for (const Case& c : cases) {
    const std::string what = c.file + " step " + std::to_string(c.step);
    const std::unique_ptr<FlowField> pair = PairField(c.depth, c.step);
    FileStore files;
    LoadResult loaded =
        LoadDataSet(dir_->File(c.file), files, ReaderSet::Standard(), ReadRequest{c.step});
    ASSERT_TRUE(loaded.Ok()) << what << ": " << loaded.Message();
    EXPECT_EQ(loaded.Notice(), "") << what;
    EXPECT_EQ(loaded.StepCount(), c.file.starts_with("steps") ? 3 : 1) << what;
    ExpectSameField(*pair, *loaded.Field(), what);
  }
}

TEST(LargeNpzTest, StepsReadInBandsGiveTheFieldReadWhole) {
  // C order is read in bands of rows on another thread while the rows are built (backwards
  // through a stored entry when y falls); Fortran order is read whole first.
  TempDir dir;
  const std::string command = std::string(VORTANA_PYTHON3_NUMPY) + " " + VORTANA_FORMAT_WRITER +
                              " " + dir.Path().string() + " --large";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const std::string banded : {"rising", "falling", "compressed"}) {
    for (int step : {0, 1}) {
      const std::string what = banded + " step " + std::to_string(step);
      FileStore files;
      LoadResult a = LoadDataSet(dir.File("large-fortran.npz"), files, ReaderSet::Standard(),
                                 ReadRequest{step});
      LoadResult b = LoadDataSet(dir.File("large-" + banded + ".npz"), files,
                                 ReaderSet::Standard(), ReadRequest{step});
      ASSERT_TRUE(a.Ok()) << what << ": " << a.Message();
      ASSERT_TRUE(b.Ok()) << what << ": " << b.Message();
      ExpectSameField(*a.Field(), *b.Field(), what);
      // Row 0 of the field is y = -1 whichever way the file has it; u there at x = -2 is
      // sin(-2) cos(-1) + step, rounded to float.
      const GridPoint& first = b.Field()->Nodes()[0];
      EXPECT_EQ(first.position.y, -1.0f) << what;
      EXPECT_EQ(first.velocity.x, static_cast<float>(std::sin(-2.0) * std::cos(-1.0) + step))
          << what;
    }
  }
}

TEST_F(FlowFormatsTest, ContentsDecideWhenTheNameDoesNot) {
  for (const std::string file : {"f32-c.npz", "appended-raw-f32.vti"}) {
    const std::string renamed = dir_->File(file + ".bin");
    std::filesystem::copy_file(dir_->File(file), renamed,
                               std::filesystem::copy_options::overwrite_existing);
    LoadResult loaded = LoadDataSet(renamed);
    ASSERT_TRUE(loaded.Ok()) << file << ": " << loaded.Message();
    ExpectSameField(*PairField(1, 0), *loaded.Field(), file);
  }
}

TEST_F(FlowFormatsTest, WhatAFieldCannotBeMadeOfIsRefusedByName) {
  struct Case {
    std::string file;
    int step;
    std::string message;  // after the file's path
  };
  const std::vector<Case> cases = {
      {"no-u.npz", 0, " holds no array u (it holds x, y, v, w, pressure, vorticity)"},
      {"x-too-long.npz", 0, ": array u has shape 4 x 5; x has 6 values"},
      {"x-not-monotone.npz", 0,
       ": the x values neither rise nor fall throughout (x[2] = 3.000000, x[3] = 2.000000)"},
      {"y-with-nan.npz", 0,
       ": the y values neither rise nor fall throughout (y[1] = 1.000000, y[2] = nan)"},
      {"one-row.npz", 0, ": array u has shape 1 x 5; a field has 2 to 32767 rows"},
      {"v-other-shape.npz", 0, ": array v has shape 4 x 6; u has shape 4 x 5"},
      {"integer-u.npz", 0,
       ": array u holds values of type '<i4'; only float32 and float64 ('<f4', '>f8', ...) are "
       "read"},
      {"curvilinear.npz", 0,
       ": x changes along the rows (at row 1, column 0): a curvilinear grid, which a field "
       "cannot hold"},
      {"u-vector.npz", 0,
       ": array u has shape 5; a field is rows x columns, or steps x rows x columns"},
      {"u-claims-more.npz", 0, ": array u has shape 30000 x 30000 but holds 20 values"},
      {"u-damaged.npz", 0,
       ": array u is damaged: its values do not match the archive's checksum (CRC-32)"},
      {"steps-c.npz", 3, " holds 3 time steps; there is no step 3"},
      {"f32-c.npz", 1, " holds 1 time step; there is no step 1"},
      {"rotated.vti", 0,
       ": Direction \"0 1 0 -1 0 0 0 0 1\" turns the image; only the identity (axes along x, y "
       "and z) is read"},
      {"no-velocity.vti", 0,
       " has no velocity: no active vectors (PointData Vectors) and no 3-component array named "
       "velocity or U among the point data (speed (3 components), p (1 component), vorticity (1 "
       "component))"},
      {"structured.vti", 0,
       " holds a StructuredGrid, a curvilinear grid, which a field cannot hold; ImageData and "
       "RectilinearGrid are read"},
      {"one-row.vti", 0, ": y has 1 value; a grid needs at least 2 along each side"},
      {"short-ascii.vti", 0, ": array Velocity holds 60 values; its extent needs 72"},
      {"cut-appended.vti", 0, ": array Velocity ends inside its binary data"},
      {"zlib-bomb.vti", 0,
       ": array U claims 10800000000 bytes from 10 compressed; no compression packs so tight"},
      {"x-not-monotone.vtr", 0,
       ": the x values neither rise nor fall throughout (x[2] = 3.000000, x[3] = 2.000000)"},
      {"ascii-f32.vti", 1, " holds 1 time step; there is no step 1"},
  };
  for (const Case& c : cases) {
    const std::string path = dir_->File(c.file);
    FileStore files;
    LoadResult loaded = LoadDataSet(path, files, ReaderSet::Standard(), ReadRequest{c.step});
    ASSERT_FALSE(loaded.Ok()) << c.file;
    EXPECT_EQ(loaded.Field(), nullptr) << c.file;
    EXPECT_EQ(loaded.Failure().file, path) << c.file;
    EXPECT_EQ(loaded.Message(), path + c.message) << c.file;
  }
  // Messages whose tail comes from the parsing library: only their start is ours.
  for (const auto& [file, start] :
       {std::pair{"not-a-zip.npz", " is not a zip archive as np.savez writes: "},
        {"broken.vti", " is not well-formed XML (line "}}) {
    LoadResult loaded = LoadDataSet(dir_->File(file));
    ASSERT_FALSE(loaded.Ok()) << file;
    EXPECT_TRUE(loaded.Message().starts_with(dir_->File(file) + start)) << loaded.Message();
  }
}

TEST(VtkIntegerArraysTest, IntegerValuesAreRoundedToFloatAsACastWould) {
  // From memory, as the fuzzer reads: 2 x 2 nodes, Int16 vectors, Int64 pressure, no vorticity.
  const std::string text =
      "<VTKFile type=\"ImageData\" byte_order=\"LittleEndian\"><ImageData "
      "WholeExtent=\"0 1 0 1 0 0\" Origin=\"0 0 0\" Spacing=\"1 1 1\"><Piece "
      "Extent=\"0 1 0 1 0 0\"><PointData Vectors=\"v\"><DataArray type=\"Int16\" Name=\"v\" "
      "NumberOfComponents=\"3\" format=\"ascii\">-3 4 0 1 2 3 32767 -32768 0 0 0 0</DataArray>"
      "<DataArray type=\"Int64\" Name=\"pressure\" format=\"ascii\">16777217 1 2 3"
      "</DataArray></PointData></Piece></ImageData></VTKFile>";
  MemoryStore store;
  store.Add("ints.vti", {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
  LoadResult loaded = LoadDataSet("ints.vti", store);
  ASSERT_TRUE(loaded.Ok()) << loaded.Message();
  const FlowField& field = *loaded.Field();
  EXPECT_EQ(field.ScalarCount(), 1);
  const std::vector<GridPoint>& nodes = field.Nodes();
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0].velocity.x, -3.0f);
  EXPECT_EQ(nodes[1].velocity.z, 3.0f);
  EXPECT_EQ(nodes[2].velocity.x, 32767.0f);
  EXPECT_EQ(nodes[2].velocity.y, -32768.0f);
  // 2^24 + 1 lies halfway between two floats; the even one, 2^24, is taken.
  EXPECT_EQ(nodes[0].scalar0, 16777216.0f);
  EXPECT_EQ(nodes[3].scalar0, 3.0f);
  EXPECT_EQ(nodes[3].position.x, 1.0f);
  EXPECT_EQ(nodes[3].position.y, 1.0f);
  EXPECT_EQ(field.Stats().maxSpeed,
            static_cast<float>(std::sqrt(32767.0 * 32767 + 32768.0 * 32768)));
}

}  // namespace
}  // namespace vortana
