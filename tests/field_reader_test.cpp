// The reader seam: which reader a path goes to, the typed result of a load, and a data set read
// from memory against the same bytes read from files.

#include "data/field_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/byte_source.h"
#include "data/flow_field.h"
#include "data/grid_pair_reader.h"
#include "support/flow_files.h"
#include "support/hostile_files.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::FloatBytes;
using testing::GridHeaderBytes;
using testing::LatticeSet;
using testing::TempDir;
using testing::WriteBytes;

std::span<const unsigned char> Bytes(const std::string& text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

/// A second kind of source, so that a choice between readers can be seen: NAME.toy, or any
/// input that begins with "TOY!". It reads nothing.
class ToyReader final : public FieldReader {
 public:
  std::string_view Kind() const override { return "toy"; }
  bool ClaimsName(std::string_view path) const override { return path.ends_with(".toy"); }
  bool ClaimsContents(std::span<const unsigned char> head) const override {
    return head.size() >= 4 && std::memcmp(head.data(), "TOY!", 4) == 0;
  }
  LoadResult Read(const std::string& path, ByteStore&, const ReadRequest&) const override {
    return LoadResult::Failed(path, path + " is a toy");
  }
};

TEST(FieldReaderTest, AReaderIsChosenByNameThenByContentsThenTheFirst) {
  const GridPairReader gridPair;
  const ToyReader toy;
  const ReaderSet readers({&gridPair, &toy});
  const std::string grid = GridHeaderBytes("SN4DB 2 2 1 2 0 0.0");
  const std::string toyBytes = "TOY! and then anything";
  const std::string shortBytes = "TO";  // the store keeps views: every buffer outlives it
  MemoryStore store;
  store.Add("toy-bytes", Bytes(toyBytes));
  store.Add("grid-bytes", Bytes(grid));
  store.Add("grid-bytes.toy", Bytes(grid));
  store.Add("toy-bytes.gri", Bytes(toyBytes));
  store.Add("short", Bytes(shortBytes));

  const std::vector<std::pair<std::string, std::string_view>> cases = {
      {"run.toy", "toy"},
      {"run.gri", "grid/data file pair"},
      {"dir.toy/run.00000.dat", "grid/data file pair"},
      // The name decides before the contents are looked at.
      {"grid-bytes.toy", "toy"},
      {"toy-bytes.gri", "grid/data file pair"},
      // Names no reader claims: the first bytes decide.
      {"toy-bytes", "toy"},
      {"grid-bytes", "grid/data file pair"},
      // Nothing to decide by: the first reader, which then says what is wrong.
      {"short", "grid/data file pair"},
      {"missing", "grid/data file pair"},
      {"run.dat", "grid/data file pair"},
  };
  for (const auto& [path, kind] : cases) {
    EXPECT_EQ(readers.Choose(path, store).Kind(), kind) << path;
  }
  // The other order: the toy reader is the fallback.
  const ReaderSet toyFirst({&toy, &gridPair});
  EXPECT_EQ(toyFirst.Choose("missing", store).Kind(), "toy");
  EXPECT_EQ(toyFirst.Choose("grid-bytes", store).Kind(), "grid/data file pair");
}

TEST(FieldReaderTest, AFailedLoadNamesTheFileAndTheReason) {
  TempDir dir;
  const std::string base = dir.File("set");
  const std::string grid = base + ".gri";
  const std::string data = base + ".00000.dat";
  const std::string goodGrid = GridHeaderBytes("SN4DB 2 1 1 0 0 0.0") + FloatBytes({0, 0, 0, 1, 0, 0});
  const std::string goodData = FloatBytes({1, 0, 0, 1, 0, 0});
  struct Case {
    const char* what;
    std::string gridBytes;  // empty: no grid file
    std::string dataBytes;  // empty: no data file
    std::string path;
    std::string file;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no grid file", "", goodData, grid, grid,
       grid + " cannot be opened (No such file or directory)"},
      {"no data file", goodGrid, "", data, data,
       data + " cannot be opened (No such file or directory)"},
      {"short header", "SN4DB 2", goodData, grid, grid,
       grid + " holds 7 bytes; a grid file begins with a 40-byte header"},
      {"no magic", GridHeaderBytes("SN5DB 2 1 1 0 0 0.0"), goodData, grid, grid,
       grid + " does not begin with SN4DB"},
      {"wide", GridHeaderBytes("SN4DB 40000 1 1 0 0 0.0"), goodData, grid, grid,
       grid + " declares width 40000, outside 0 to 32767"},
      // 2 nodes of 12 bytes need 64 bytes; 2 nodes of 12 data bytes need 24.
      {"short grid", goodGrid.substr(0, 63), goodData, grid, grid,
       grid + " holds 63 bytes; the header declares 2 nodes of 12 bytes after the 40-byte header"},
      {"short data", goodGrid, goodData.substr(0, 20), grid, data,
       data + " holds 20 bytes; the header declares 2 nodes of 12 bytes"},
      // "." names a folder; without this it would name the hidden pair .gri and .00000.dat.
      {"dot", goodGrid, goodData, ".", ".", ". is a folder, not a file"},
      {"folder/", goodGrid, goodData, dir.File("sub/"), dir.File("sub/"),
       dir.File("sub/") + " is a folder, not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(grid);
    std::filesystem::remove(data);
    if (!c.gridBytes.empty()) WriteBytes(grid, c.gridBytes);
    if (!c.dataBytes.empty()) WriteBytes(data, c.dataBytes);
    const LoadResult result = LoadDataSet(c.path);
    ASSERT_FALSE(result.Ok());
    EXPECT_EQ(result.Failure().file, c.file);
    EXPECT_EQ(result.Message(), c.message);
    EXPECT_EQ(result.Field(), nullptr);
  }
  // The same files load when whole, by either name.
  WriteBytes(grid, goodGrid);
  WriteBytes(data, goodData);
  for (const std::string& path : {grid, data, base}) {
    LoadResult result = LoadDataSet(path);
    ASSERT_TRUE(result.Ok()) << result.Message();
    EXPECT_EQ(result.Message(), "");
    EXPECT_EQ(result.TakeField()->NodeCount(), 2);
    EXPECT_TRUE(result.Ok());
  }
  // The pair holds one step.
  FileStore files;
  EXPECT_EQ(LoadDataSet(grid, files, ReaderSet::Standard(), {1}).Message(),
            grid + " holds one time step, not step 1");
}

TEST(FieldReaderTest, MemoryAndFilesGiveTheSameField) {
  TempDir dir;
  const testing::HostileDataSet set = LatticeSet("lattice", 5, 3, 2, 2);
  WriteBytes(dir.File("lattice.gri"), set.grid);
  WriteBytes(dir.File("lattice.00000.dat"), set.data);
  MemoryStore store;
  store.Add("lattice.gri", Bytes(set.grid));
  store.Add("lattice.00000.dat", Bytes(set.data));

  LoadResult fromFiles = LoadDataSet(dir.File("lattice.00000.dat"));
  LoadResult fromMemory = LoadDataSet("lattice.gri", store);
  ASSERT_TRUE(fromFiles.Ok()) << fromFiles.Message();
  ASSERT_TRUE(fromMemory.Ok()) << fromMemory.Message();
  const FlowField& a = *fromFiles.Field();
  const FlowField& b = *fromMemory.Field();
  EXPECT_EQ(a.NodeCount(), 30);
  ASSERT_EQ(a.Nodes().size(), b.Nodes().size());
  EXPECT_EQ(std::memcmp(a.Nodes().data(), b.Nodes().data(), a.Nodes().size() * sizeof(GridPoint)),
            0);
  EXPECT_EQ(std::memcmp(&a.Stats(), &b.Stats(), sizeof(FieldStatistics)), 0);
  // Node 7 is column 2 of row 1 in slice 0, at (2, 1, 0) on the unit lattice.
  EXPECT_EQ(b.Nodes()[7].position, Vec3(2.0f, 1.0f, 0.0f));

  // A data file one byte short in memory is refused as on disk.
  const std::string shortData = set.data.substr(0, set.data.size() - 1);
  store.Add("lattice.00000.dat", Bytes(shortData));
  const LoadResult refused = LoadDataSet("lattice.gri", store);
  EXPECT_EQ(refused.Message(), "lattice.00000.dat holds 599 bytes; the header declares 30 nodes "
                               "of 20 bytes");
}

TEST(FieldReaderTest, AHeaderThatStopsBeforeTheDepthLoadsAndSaysWhy) {
  const std::string data = FloatBytes(std::vector<float>(20, 0.0f));
  struct Case {
    std::string header;
    std::string notice;
  };
  std::string nul = "SN4DB 2 2 1 2 0 0.0";
  nul[7] = '\0';
  const std::vector<Case> cases = {
      {"SN4DB 2 2 1 2 0 0.0", ""},
      {"SN4DB 2 2 1", ""},  // stops after the depth: scalars 0, nothing amiss
      {"SN4DB garbage", "g.gri: the header's width is not a number"},
      {"SN4DB 2 x", "g.gri: the header's height is not a number"},
      {"SN4DB 2 2 1.5", ""},
      {"SN4DB 2 2 -", "g.gri: the header's depth is not a number"},
      {"SN4DB", "g.gri: the header ends before its width"},
      {nul, "g.gri: the header ends before its height"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    const std::string grid = GridHeaderBytes(c.header) + std::string(48, '\0');
    MemoryStore store;
    store.Add("g.gri", Bytes(grid));
    store.Add("g.00000.dat", Bytes(data));
    const LoadResult result = LoadDataSet("g.gri", store);
    ASSERT_TRUE(result.Ok()) << result.Message();
    EXPECT_EQ(result.Notice(), c.notice);
  }
}

}  // namespace
}  // namespace vortana
