#include "data/flow_field.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "data/flow_file_writer.h"
#include "data/rectilinear_grid.h"
#include "support/flow_files.h"
#include "support/load_pair.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::FloatBytes;
using testing::GridHeaderBytes;
using testing::TempDir;
using testing::WriteBytes;

GridPoint Node(Vec3 position, Vec3 velocity, float scalar0 = 0.0f, float scalar1 = 0.0f) {
  GridPoint node;
  node.position = position;
  node.velocity = velocity;
  node.scalar0 = scalar0;
  node.scalar1 = scalar1;
  return node;
}

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

void ExpectMentions(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    EXPECT_NE(text.find(part), std::string::npos) << "\"" << text << "\" lacks \"" << part << "\"";
  }
}

/// Every field at the value it has before anything is read.
void ExpectEmpty(const FlowField& field) {
  EXPECT_TRUE(field.Empty());
  EXPECT_EQ(field.NodeCount(), 0);
  EXPECT_EQ(field.Width(), 0);
  EXPECT_EQ(field.Height(), 0);
  EXPECT_EQ(field.Depth(), 0);
  EXPECT_EQ(field.ScalarCount(), 0);
  EXPECT_TRUE(field.RowOffsets().empty());
  const FieldStatistics& s = field.Stats();
  EXPECT_EQ(s.maxPosition, Vec3(0, 0, 0));
  EXPECT_EQ(s.maxVelocity, Vec3(0, 0, 0));
  EXPECT_EQ(Bits(s.minPosition.x), 0x7F7FFFFFu);
  EXPECT_EQ(Bits(s.minPosition.y), 0x7F7FFFFFu);
  EXPECT_EQ(Bits(s.minPosition.z), 0x7F7FFFFFu);
  EXPECT_EQ(s.maxSpeed, 0.0f);
  EXPECT_EQ(Bits(s.minScalar0), 0x7F7FFFFFu);
  EXPECT_EQ(Bits(s.minScalar1), 0x7F7FFFFFu);
  EXPECT_EQ(s.maxScalar0, 0.0f);
  EXPECT_EQ(s.maxScalar1, 0.0f);
}

/// A data set written byte by byte: `gridBody` follows the header, `data` is the whole data file.
std::unique_ptr<FlowField> LoadRaw(const TempDir& dir, const std::string& header,
                                   const std::string& gridBody, const std::string& data,
                                   std::string& error) {
  WriteBytes(dir.File("run1.gri"), GridHeaderBytes(header) + gridBody);
  WriteBytes(dir.File("run1.00000.dat"), data);
  return testing::LoadPair(dir.File("run1"), error);
}

GridHeader Parse(const std::string& text) { return ParseGridHeader(text.data(), text.size()); }

TEST(GridHeaderTest, ScansLikeAFormattedRead) {
  GridHeader h = Parse("SN4DB 64 32 1 2 7 1.5e3");
  EXPECT_TRUE(h.hasMagic);
  EXPECT_EQ(h.width, 64);
  EXPECT_EQ(h.height, 32);
  EXPECT_EQ(h.depth, 1);
  EXPECT_EQ(h.scalarCount, 2);
  EXPECT_EQ(h.spare, 7);
  EXPECT_EQ(h.real, 1500.0f);

  // Any white space, or none, before each number; signs are allowed.
  h = Parse("SN4DB64\t\t32\n\r+1\v\f-2 -7-.25");
  EXPECT_EQ(h.width, 64);
  EXPECT_EQ(h.height, 32);
  EXPECT_EQ(h.depth, 1);
  EXPECT_EQ(h.scalarCount, -2);
  EXPECT_EQ(h.spare, -7);
  EXPECT_EQ(h.real, -0.25f);

  // The five characters must stand at byte 0, exactly.
  EXPECT_FALSE(Parse(" SN4DB 1 2 3 4 5 6").hasMagic);
  EXPECT_FALSE(Parse("SN4Db 1 2 3 4 5 6").hasMagic);
  EXPECT_FALSE(Parse("SN4").hasMagic);
  EXPECT_EQ(Parse("SN4DX 1 2 3 4 5 6").width, 0);

  // The scan stops at the first character that does not fit; later fields stay 0.
  h = Parse("SN4DB 64 32 1");
  EXPECT_EQ(h.depth, 1);
  EXPECT_EQ(h.scalarCount, 0);
  h = Parse("SN4DB 64 x32 1 2");
  EXPECT_EQ(h.width, 64);
  EXPECT_EQ(h.height, 0);
  EXPECT_EQ(h.depth, 0);
  h = Parse("SN4DB 64 - 3");
  EXPECT_EQ(h.height, 0);
  h = Parse("SN4DB 4 4 1 2 0 e5");
  EXPECT_EQ(h.scalarCount, 2);
  EXPECT_EQ(h.real, 0.0f);
  EXPECT_EQ(Parse("SN4DB 4 4 1 2 0 .5e-1").real, 0.05f);
  EXPECT_EQ(Parse("SN4DB 4 4 1 2 0 7e").real, 7.0f);
  EXPECT_EQ(Parse("SN4DB 4 4 1 2 0 1e99").real, std::numeric_limits<float>::infinity());
  EXPECT_EQ(Parse("SN4DB 4 4 1 2 0 -1e-99").real, 0.0f);

  // A 3.5 width is width 3; the '.' then stops the scan.
  h = Parse("SN4DB 3.5 4 1 2");
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 0);

  // Numbers too large for an int saturate instead of wrapping.
  h = Parse("SN4DB 4294967297 -99999999999999999999 1");
  EXPECT_EQ(h.width, 2147483647);
  EXPECT_EQ(h.height, -2147483647 - 1);
  EXPECT_EQ(h.depth, 1);
}

TEST(GridHeaderTest, TextEndsAtNulAndAtByte40) {
  const std::string withNul("SN4DB 4 4\0 1 2 0 0.0", 20);
  GridHeader h = Parse(withNul);
  EXPECT_EQ(h.height, 4);
  EXPECT_EQ(h.depth, 0);
  EXPECT_FALSE(Parse(std::string("SN4\0DB 1", 8)).hasMagic);

  // Digits that run on past byte 39 belong to the nodes, not to the header.
  std::string text = "SN4DB 1 1 1 2 0 ";  // 16 characters
  text += std::string(23, '1');           // bytes 16 to 38
  text += "2";                            // byte 39
  text += "999";                          // bytes 40 to 42
  h = Parse(text);
  EXPECT_EQ(h.real, 111111111111111111111112.0f);
  std::string integer = std::string("SN4DB") + std::string(33, ' ') + "12" + "34";
  EXPECT_EQ(Parse(integer).width, 12);
}

TEST(FlowFieldTest, ExampleGridOf64By32Nodes) {
  TempDir dir;
  std::vector<GridPoint> nodes;
  for (int r = 0; r < 32; ++r) {
    for (int c = 0; c < 64; ++c) {
      nodes.push_back(Node({c * 0.5f, r * 0.25f, 0.0f}, {1.0f, 0.0f, 0.0f}, 1.0f, 2.0f));
    }
  }
  ASSERT_EQ(WriteFlowFiles(dir.File("run1"), 64, 32, 1, 2, nodes), "");
  EXPECT_EQ(std::filesystem::file_size(dir.File("run1.gri")), 40u + 24576u);
  EXPECT_EQ(std::filesystem::file_size(dir.File("run1.00000.dat")), 40960u);

  std::string error = "stale";
  const auto field = testing::LoadPair(dir.File("run1"), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->NodeCount(), 2048);
  EXPECT_EQ(field->Width(), 64);
  EXPECT_EQ(field->Height(), 32);
  EXPECT_EQ(field->Depth(), 1);
  EXPECT_EQ(field->ScalarCount(), 2);
  ASSERT_EQ(field->RowOffsets().size(), 32u);
  for (int r = 0; r < 32; ++r) EXPECT_EQ(field->RowOffsets()[r], 64 * r);
  EXPECT_EQ(field->RowOffsets().back(), 1984);
  // Node (c = 5, r = 3) sits at index 5 + 64 * 3.
  EXPECT_EQ(field->Nodes()[197].position, Vec3(2.5f, 0.75f, 0.0f));
  EXPECT_EQ(field->Stats().maxPosition, Vec3(31.5f, 7.75f, 0.0f));
  EXPECT_EQ(field->Stats().maxSpeed, 1.0f);
}

TEST(FlowFieldTest, StatisticsCoverEverySlice) {
  // 2 x 1 x 3: the extremes all sit in the last slice.
  std::vector<GridPoint> nodes = {
      Node({0, 0, 0}, {1, 0, 0}, 1, 1),     Node({1, 0, 0}, {0, 1, 0}, 2, 2),
      Node({0, 0, 1}, {0, 0, 1}, 1, 1),     Node({1, 0, 1}, {1, 1, 0}, 3, 3),
      Node({-2, -3, 2}, {3, 4, 0}, -5, -6), Node({7, 8, 9}, {-9, 0, 2}, 10, 11),
  };
  const auto field = FlowField::FromNodes(2, 1, 3, 2, nodes);
  EXPECT_EQ(field->NodeCount(), 6);
  EXPECT_EQ(field->Depth(), 3);
  const FieldStatistics& s = field->Stats();
  EXPECT_EQ(s.minPosition, Vec3(-2, -3, 0));
  EXPECT_EQ(s.maxPosition, Vec3(7, 8, 9));
  EXPECT_EQ(s.maxVelocity, Vec3(3, 4, 2));
  // |(-9, 0, 2)| = sqrt(85) beats |(3, 4, 0)| = 5.
  EXPECT_EQ(s.maxSpeed, static_cast<float>(std::sqrt(85.0)));
  EXPECT_EQ(s.minScalar0, -5.0f);
  EXPECT_EQ(s.maxScalar0, 10.0f);
  EXPECT_EQ(s.minScalar1, -6.0f);
  EXPECT_EQ(s.maxScalar1, 11.0f);
}

TEST(FlowFieldTest, MaximaNeverFallBelowZeroAndComparisonsAreStrict) {
  const auto negative = FlowField::FromNodes(
      3, 1, 1, 2,
      {Node({-4, -1, -2}, {-1, -2, -3}, -7, -8), Node({-3, -1, -2}, {0, 0, 0}, -1, -1),
       Node({-6, -1, -2}, {0, 0, 0}, -2, -2)});
  EXPECT_EQ(negative->Stats().maxPosition, Vec3(0, 0, 0));
  EXPECT_EQ(negative->Stats().minPosition, Vec3(-6, -1, -2));
  EXPECT_EQ(negative->Stats().maxVelocity, Vec3(0, 0, 0));
  EXPECT_EQ(negative->Stats().maxScalar0, 0.0f);
  EXPECT_EQ(negative->Stats().minScalar1, -8.0f);

  const auto resting = FlowField::FromNodes(2, 1, 1, 2, {Node({0, 0, 0}, {}), Node({1, 0, 0}, {})});
  EXPECT_EQ(resting->Stats().maxSpeed, 0.0f);

  // Equal values do not replace: the first zero seen keeps its sign, and the maxima keep the
  // +0 they start with when a -0 arrives.
  const float minusZero = -0.0f;
  const auto zeros =
      FlowField::FromNodes(2, 1, 1, 2,
                           {Node({0, 0, 0}, {}, 0, 0),
                            Node({minusZero, minusZero, minusZero}, {}, minusZero, minusZero)});
  EXPECT_FALSE(std::signbit(zeros->Stats().minPosition.x));
  EXPECT_FALSE(std::signbit(zeros->Stats().minScalar0));
  EXPECT_FALSE(std::signbit(zeros->Stats().minScalar1));
  const auto minusFirst = FlowField::FromNodes(
      2, 1, 1, 2, {Node({minusZero, 0, 0}, {}, minusZero, 0), Node({0, 0, 0}, {}, 0, 0)});
  EXPECT_TRUE(std::signbit(minusFirst->Stats().minPosition.x));
  EXPECT_FALSE(std::signbit(minusFirst->Stats().maxPosition.x));
  EXPECT_FALSE(std::signbit(minusFirst->Stats().maxScalar0));

  // A value that is not a number never replaces an extreme.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto withNan = FlowField::FromNodes(
      2, 1, 1, 2, {Node({1, 2, 3}, {3, 4, 0}, 5, 6), Node({nan, nan, nan}, {nan, 0, 0}, nan, nan)});
  EXPECT_EQ(withNan->Stats().minPosition, Vec3(1, 2, 3));
  EXPECT_EQ(withNan->Stats().maxPosition, Vec3(1, 2, 3));
  EXPECT_EQ(withNan->Stats().maxSpeed, 5.0f);
  EXPECT_EQ(withNan->Stats().minScalar0, 5.0f);
}

TEST(FlowFieldTest, MaxSpeedIsTheLengthRoundedOnceToFloat) {
  // |(1, 1, 1)| = sqrt(3) = 1.7320508075688772; stored as the nearest float.
  const auto field = FlowField::FromNodes(1, 1, 1, 2, {Node({}, {1, 1, 1})});
  EXPECT_EQ(field->Stats().maxSpeed, 1.7320508f);
}

TEST(FlowFieldTest, ScalarCountSetsTheDataLayout) {
  TempDir dir;
  const std::string grid = FloatBytes({0, 0, 0, 1, 0, 0});
  std::string error;

  // Count 0: 12 bytes a node, both scalars 0.
  auto field = LoadRaw(dir, "SN4DB 2 1 1 0 0 0.0", grid, FloatBytes({1, 2, 3, 4, 5, 6}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->Nodes()[1].velocity, Vec3(4, 5, 6));
  EXPECT_EQ(field->Nodes()[1].scalar0, 0.0f);
  EXPECT_EQ(field->Nodes()[1].scalar1, 0.0f);
  EXPECT_EQ(field->Stats().minScalar0, 0.0f);

  // Count 1: 16 bytes a node, scalar 1 is 0.
  field = LoadRaw(dir, "SN4DB 2 1 1 1 0 0.0", grid, FloatBytes({1, 2, 3, -7, 4, 5, 6, 8}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->Nodes()[1].velocity, Vec3(4, 5, 6));
  EXPECT_EQ(field->Nodes()[0].scalar0, -7.0f);
  EXPECT_EQ(field->Nodes()[1].scalar0, 8.0f);
  EXPECT_EQ(field->Nodes()[1].scalar1, 0.0f);

  // Count 4: 28 bytes a node, the third and fourth scalars are read and dropped.
  field = LoadRaw(dir, "SN4DB 2 1 1 4 0 0.0", grid,
                  FloatBytes({1, 2, 3, 10, 20, 30, 40, 4, 5, 6, 11, 21, 31, 41}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->Nodes()[1].velocity, Vec3(4, 5, 6));
  EXPECT_EQ(field->Nodes()[1].scalar0, 11.0f);
  EXPECT_EQ(field->Nodes()[1].scalar1, 21.0f);
  EXPECT_EQ(field->Stats().maxScalar1, 21.0f);

  // A negative count holds no scalars: 12 bytes a node.
  field = LoadRaw(dir, "SN4DB 2 1 1 -3 0 0.0", grid, FloatBytes({1, 2, 3, 4, 5, 6}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->ScalarCount(), -3);
  EXPECT_EQ(field->Nodes()[1].velocity, Vec3(4, 5, 6));

  // A header that stops after the depth has scalar count 0 and loads.
  field = LoadRaw(dir, "SN4DB 2 1 1", grid, FloatBytes({1, 2, 3, 4, 5, 6}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->ScalarCount(), 0);
  EXPECT_EQ(field->NodeCount(), 2);
}

TEST(FlowFieldTest, HeaderFieldsAndTrailingBytes) {
  TempDir dir;
  std::string error;
  // Bytes after the last node are ignored in both files.
  const auto field = LoadRaw(dir, "SN4DB 1 1 1 2 -9 2.5e1", FloatBytes({1, 2, 3, 99}),
                             FloatBytes({4, 5, 6, 7, 8, 99, 99}), error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(field->SpareHeaderInteger(), -9);
  EXPECT_EQ(field->HeaderReal(), 25.0f);
  EXPECT_EQ(field->Nodes()[0].position, Vec3(1, 2, 3));
  EXPECT_EQ(field->Nodes()[0].velocity, Vec3(4, 5, 6));
  EXPECT_EQ(field->Nodes()[0].scalar0, 7.0f);
  EXPECT_EQ(field->Nodes()[0].scalar1, 8.0f);
}

TEST(FlowFieldTest, ZeroDimensionGivesAnEmptyFieldWithoutError) {
  TempDir dir;
  std::string error = "stale";
  const auto field = LoadRaw(dir, "SN4DB 64 32 0 2 0 0.0", "", "", error);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(field->Empty());
  EXPECT_EQ(field->NodeCount(), 0);
  EXPECT_EQ(field->Width(), 64);
  EXPECT_EQ(field->Height(), 32);
  EXPECT_FALSE(field->HasCell());
}

TEST(FlowFieldTest, FilesThatCannotBeOpenedAreReported) {
  TempDir dir;
  const std::string grid = GridHeaderBytes("SN4DB 1 1 1 2 0 0.0") + FloatBytes({0, 0, 0});
  const std::string data = FloatBytes({0, 0, 0, 0, 0});
  std::string error;

  auto field = testing::LoadPair(dir.File("nothing"), error);
  ExpectMentions(error, {dir.File("nothing.gri"), "cannot be opened"});
  ExpectEmpty(*field);

  // Grid file present, data file missing, and the other way round.
  WriteBytes(dir.File("a.gri"), grid);
  field = testing::LoadPair(dir.File("a"), error);
  ExpectMentions(error, {dir.File("a.00000.dat"), "cannot be opened"});
  ExpectEmpty(*field);
  WriteBytes(dir.File("b.00000.dat"), data);
  field = testing::LoadPair(dir.File("b"), error);
  ExpectMentions(error, {dir.File("b.gri"), "cannot be opened"});
  ExpectEmpty(*field);

  // A folder where a file should be.
  std::filesystem::create_directory(dir.File("c.gri"));
  WriteBytes(dir.File("c.00000.dat"), data);
  field = testing::LoadPair(dir.File("c"), error);
  ExpectMentions(error, {dir.File("c.gri"), "folder"});
  ExpectEmpty(*field);
  WriteBytes(dir.File("d.gri"), grid);
  std::filesystem::create_directory(dir.File("d.00000.dat"));
  field = testing::LoadPair(dir.File("d"), error);
  ExpectMentions(error, {dir.File("d.00000.dat"), "folder"});
  ExpectEmpty(*field);
}

TEST(FlowFieldTest, UnreadableFileIsReported) {
  TempDir dir;
  WriteBytes(dir.File("run1.gri"), GridHeaderBytes("SN4DB 1 1 1 2 0 0.0") + FloatBytes({0, 0, 0}));
  WriteBytes(dir.File("run1.00000.dat"), FloatBytes({0, 0, 0, 0, 0}));
  std::filesystem::permissions(dir.File("run1.00000.dat"), std::filesystem::perms::none);
  if (::access(dir.File("run1.00000.dat").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "this user reads files whatever their permissions";
  }
  std::string error;
  const auto field = testing::LoadPair(dir.File("run1"), error);
  ExpectMentions(error, {dir.File("run1.00000.dat"), "cannot be opened"});
  ExpectEmpty(*field);
}

TEST(FlowFieldTest, HeadersOutsideTheLimitsAreRefused) {
  TempDir dir;
  const std::string gridName = dir.File("run1.gri");
  std::string error;
  struct Case {
    const char* header;
    std::vector<std::string> mentions;
  };
  const Case cases[] = {
      {" SN4DB 1 1 1 2 0 0.0", {gridName, "SN4DB"}},
      {"sn4db 1 1 1 2 0 0.0", {gridName, "SN4DB"}},
      {"SN4DB -1 1 1 2 0 0.0", {gridName, "width", "-1", "32767"}},
      {"SN4DB 1 40000 1 2 0 0.0", {gridName, "height", "40000", "32767"}},
      {"SN4DB 1 1 32768 2 0 0.0", {gridName, "depth", "32768", "32767"}},
      {"SN4DB 1 1 99999999999999 2 0 0.0", {gridName, "depth", "2147483647"}},
      {"SN4DB 1 1 1 40000 0 0.0", {gridName, "40000", "scalars"}},
      // 32767^3 nodes are refused from the header alone: nothing is allocated.
      {"SN4DB 32767 32767 32767 2 0 0.0", {gridName, "32767 x 32767 x 32767", "2147483647"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    const auto field =
        LoadRaw(dir, c.header, FloatBytes({0, 0, 0}), FloatBytes({0, 0, 0, 0, 0}), error);
    ExpectMentions(error, c.mentions);
    ExpectEmpty(*field);
  }
}

TEST(FlowFieldTest, FilesShorterThanTheHeaderDeclaresAreRefused) {
  TempDir dir;
  std::string error;

  WriteBytes(dir.File("run1.gri"), "SN4DB 1 1 1 2 0 0.0");
  WriteBytes(dir.File("run1.00000.dat"), FloatBytes({0, 0, 0, 0, 0}));
  auto field = testing::LoadPair(dir.File("run1"), error);
  ExpectMentions(error, {dir.File("run1.gri"), "19 bytes", "40"});
  ExpectEmpty(*field);

  // 2 x 2 x 1 needs 40 + 48 grid bytes; one node's z is missing.
  field = LoadRaw(dir, "SN4DB 2 2 1 2 0 0.0", std::string(44, '\0'), std::string(80, '\0'), error);
  ExpectMentions(error, {dir.File("run1.gri"), "84 bytes", "4 nodes", "12 bytes"});
  ExpectEmpty(*field);

  // 64 x 32 with two scalars needs 2048 nodes of 20 bytes.
  field = LoadRaw(dir, "SN4DB 64 32 1 2 0 0.0", std::string(24576, '\0'), std::string(30000, '\0'),
                  error);
  ExpectMentions(error, {dir.File("run1.00000.dat"), "30000 bytes", "2048 nodes", "20 bytes"});
  ExpectEmpty(*field);

  // The largest grid a field may hold, declared by a bare 40-byte header: refused by size,
  // before the node array (64 GiB) is allocated.
  field = LoadRaw(dir, "SN4DB 32767 32767 2 2 0 0.0", "", "", error);
  ExpectMentions(error, {dir.File("run1.gri"), "40 bytes", "2147352578 nodes"});
  ExpectEmpty(*field);
}

TEST(FlowFieldTest, FromNodesNeedsOneNodePerGridPoint) {
  std::vector<GridPoint> three(3);
  ExpectEmpty(*FlowField::FromNodes(2, 2, 1, 2, three));
  ExpectEmpty(*FlowField::FromNodes(-1, -3, 1, 2, three));
  ExpectEmpty(*FlowField::FromNodes(40000, 0, 1, 2, {}));
  const auto field = FlowField::FromNodes(3, 1, 1, 2, three);
  EXPECT_EQ(field->NodeCount(), 3);
  EXPECT_EQ(field->RowOffsets(), std::vector<int32_t>{0});
}

TEST(FlowFieldTest, WrittenFilesHaveTheDocumentedBytes) {
  TempDir dir;
  const std::vector<GridPoint> nodes = {Node({1, 2, 3}, {4, 5, 6}, 7, 8),
                                        Node({-1, 0.5f, 0}, {0, 0, -2}, 9, 10)};
  ASSERT_EQ(WriteFlowFiles(dir.File("w"), 2, 1, 1, 3, nodes), "");
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(slurp(dir.File("w.gri")),
            "SN4DB 2 1 1 3 0 0.0" + std::string(21, ' ') + FloatBytes({1, 2, 3, -1, 0.5f, 0}));
  EXPECT_EQ(slurp(dir.File("w.00000.dat")), FloatBytes({4, 5, 6, 7, 8, 0, 0, 0, -2, 9, 10, 0}));

  EXPECT_NE(WriteFlowFiles(dir.File("w"), 3, 1, 1, 2, nodes), "");
  const std::string error = WriteFlowFiles(dir.File("missing-folder/w"), 2, 1, 1, 2, nodes);
  ExpectMentions(error, {"cannot write the grid file " + dir.File("missing-folder/w.gri"),
                         "No such file or directory"});
}

TEST(FlowFieldTest, WrittenFilesReadBackBitForBit) {
  TempDir dir;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::bit_cast<float>(0x7FC01234u);
  const float tiny = std::numeric_limits<float>::denorm_min();
  std::vector<GridPoint> nodes;
  for (int i = 0; i < 3 * 5 * 2; ++i) {
    nodes.push_back(Node({i * 0.1f, -i * 1e-30f, tiny * i}, {1.0f / (i + 1), -0.0f, i * 1e30f},
                         i % 7 == 0 ? nan : i * 3.3f, i % 5 == 0 ? -inf : -i * 0.7f));
  }
  for (int scalarCount : {0, 1, 2, 5}) {
    SCOPED_TRACE(scalarCount);
    ASSERT_EQ(WriteFlowFiles(dir.File("rt"), 3, 5, 2, scalarCount, nodes), "");
    std::string error;
    const auto field = testing::LoadPair(dir.File("rt"), error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(field->NodeCount(), 30);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const GridPoint& got = field->Nodes()[i];
      EXPECT_EQ(Bits(got.position.x), Bits(nodes[i].position.x));
      EXPECT_EQ(Bits(got.position.y), Bits(nodes[i].position.y));
      EXPECT_EQ(Bits(got.position.z), Bits(nodes[i].position.z));
      EXPECT_EQ(Bits(got.velocity.x), Bits(nodes[i].velocity.x));
      EXPECT_EQ(Bits(got.velocity.y), Bits(nodes[i].velocity.y));
      EXPECT_EQ(Bits(got.velocity.z), Bits(nodes[i].velocity.z));
      EXPECT_EQ(Bits(got.scalar0), scalarCount >= 1 ? Bits(nodes[i].scalar0) : 0u);
      EXPECT_EQ(Bits(got.scalar1), scalarCount >= 2 ? Bits(nodes[i].scalar1) : 0u);
    }
    // Loading and building from memory gather the same statistics.
    std::vector<GridPoint> expected = nodes;
    for (GridPoint& node : expected) {
      if (scalarCount < 1) node.scalar0 = 0.0f;
      if (scalarCount < 2) node.scalar1 = 0.0f;
    }
    const auto built = FlowField::FromNodes(3, 5, 2, scalarCount, expected);
    const FieldStatistics& a = field->Stats();
    const FieldStatistics& b = built->Stats();
    EXPECT_EQ(a.minPosition, b.minPosition);
    EXPECT_EQ(a.maxPosition, b.maxPosition);
    EXPECT_EQ(a.maxVelocity, b.maxVelocity);
    EXPECT_EQ(Bits(a.maxSpeed), Bits(b.maxSpeed));
    EXPECT_EQ(Bits(a.minScalar0), Bits(b.minScalar0));
    EXPECT_EQ(Bits(a.maxScalar1), Bits(b.maxScalar1));
  }
}

// A rectilinear source built row by row must give, bit for bit, the field the same nodes give
// one at a time, and the fastest speed must be what comparing every length against the float
// kept so far gives. The sources hold NaNs, signed zeros, ties and a falling axis.
TEST(FlowFieldTest, RowsInBulkMatchNodesOneByOne) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    std::vector<float> x, y, u, v, w, z = {0.0f};
  };
  const std::vector<Case> cases = {
      {{0, 1, 2}, {0, 1}, {1, -0.0f, nan, 1, 0.0f, 3}, {1, 0.0f, 2, 1, -0.0f, 4}, {}},
      {{2, 1, 0}, {-1, 0, 1}, {0.1f, 0.2f, 0.3f, 0.1f, 0.2f, 0.3f, 16777217.0f, 0, 1},
       {0.3f, 0.2f, 0.1f, 0.3f, 0.2f, 0.1f, 1, 16777216, 0}, {0, 0, 0, 0, nan, 0, 0, 0, 0}},
      {{-3, -2}, {5, 4}, {nan, nan, nan, nan}, {nan, nan, nan, nan}, {}},
      // A wider row, with every component.
      {{0, 1, 2, 3, 4, 5, 6}, {0, 2},
       {1, 2, 3, 4, 5, 6, 7, -1, -2, -3, -4, -5, -6, -7},
       {7, 6, 5, 4, 3, 2, 1, nan, 0.5f, 0.25f, -0.0f, 0, 8, 9},
       {0, 0, 1, 0, 0, -0.0f, 0, 2, 0, 0, 0, 0, 0, 3}},
      // Two slices: the search index sees slice 0 only, whose velocities are flat.
      {{0, 1, 2, 3, 4}, {0, 1}, std::vector<float>(20, 1.0f), std::vector<float>(20, -0.5f),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, -0.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4},
       {0, 10}},
  };
  for (const Case& c : cases) {
    RectilinearSource source;
    source.name = "bulk";
    source.x = c.x;
    source.y = c.y;
    source.z = c.z;
    source.u = {c.u.data(), 1};
    source.v = {c.v.data(), 1};
    if (!c.w.empty()) source.w = {c.w.data(), 1};
    source.scalar0 = {c.v.data(), 1};
    source.scalar1 = {c.u.data(), 1};
    source.scalarCount = 2;
    const LoadResult bulk = BuildRectilinearField(source);
    ASSERT_TRUE(bulk.Ok());
    // The same nodes laid out by hand: a falling axis turns round with its nodes.
    const std::size_t width = c.x.size(), height = c.y.size(), depth = c.z.size();
    std::vector<GridPoint> nodes;
    float keptSpeed = 0.0f;
    for (std::size_t s = 0; s < depth; ++s) {
      for (std::size_t r = 0; r < height; ++r) {
        const std::size_t sy = c.y[1] < c.y[0] ? height - 1 - r : r;
        for (std::size_t col = 0; col < width; ++col) {
          const std::size_t sx = c.x[1] < c.x[0] ? width - 1 - col : col;
          const std::size_t n = (s * height + sy) * width + sx;
          const Vec3 velocity(c.u[n], c.v[n], c.w.empty() ? 0.0f : c.w[n]);
          nodes.push_back(Node({c.x[sx], c.y[sy], c.z[s]}, velocity, c.v[n], c.u[n]));
          if (velocity.Length() > keptSpeed) keptSpeed = static_cast<float>(velocity.Length());
        }
      }
    }
    const auto single = FlowField::FromNodes(int(width), int(height), int(depth), 2, nodes);
    const FlowField& field = *bulk.Field();
    ASSERT_EQ(field.Nodes().size(), nodes.size());
    EXPECT_EQ(std::memcmp(field.Nodes().data(), single->Nodes().data(),
                          nodes.size() * sizeof(GridPoint)),
              0);
    EXPECT_EQ(std::memcmp(&field.Stats(), &single->Stats(), sizeof(FieldStatistics)), 0);
    EXPECT_EQ(std::bit_cast<uint32_t>(field.Stats().maxSpeed), std::bit_cast<uint32_t>(keptSpeed));
    EXPECT_EQ(field.ColumnsShareRowY(), single->ColumnsShareRowY());
    EXPECT_EQ(field.IsPlanar(), single->IsPlanar());
  }
}

}  // namespace
}  // namespace vortana
