// Hostile data sets, through the loader, the dialog and vortana-render: every one ends with a
// message that names the file (vortana-render exits 1) or with a picture (exit 0); never with a
// crash, a hang or a read outside the node array. The sanitizer build checks the last point in
// depth; here every NodeAt answer is also checked to lie in slice 0 of the node array.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/visualizer_dialog.h"
#include "data/base_name.h"
#include "data/flow_field.h"
#include "support/fake_platform.h"
#include "support/flow_files.h"
#include "support/hostile_files.h"
#include "support/program_run.h"
#include "support/load_pair.h"
#include "support/temp_dir.h"

// The largest single allocation made while `gTracking` is on: a header that declares more nodes
// than its files hold must be refused before the node array is allocated.
// While tracking, allocations of at least kInjectFrom bytes are counted, and the one numbered
// `gFailAt` (from 0; -1 for none) fails as it would when memory runs out.
namespace {
std::atomic<bool> gTracking{false};
std::atomic<std::size_t> gLargest{0};
constexpr std::size_t kInjectFrom = 256;
std::atomic<int> gFailAt{-1};
std::atomic<int> gLargeCount{0};
}  // namespace

void* operator new(std::size_t size) {
  if (gTracking.load(std::memory_order_relaxed)) {
    std::size_t seen = gLargest.load(std::memory_order_relaxed);
    while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
    }
    if (size >= kInjectFrom && gLargeCount++ == gFailAt.load()) throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
// These replace the global operators for the whole program, so every pointer they free came
// from the malloc in operator new above; GCC cannot see that across the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace vortana {
namespace {

using testing::DataFileBytes;
using testing::FakePlatform;
using testing::GridFileBytes;
using testing::HeaderText;
using testing::HostileDataSet;
using testing::LatticePositions;
using testing::LatticeSet;
using testing::TempDir;
using testing::WriteBytes;
using testing::WriteDataSet;
using Json = nlohmann::json;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
// Far more than refusing a header needs, far less than any node array it declares.
constexpr std::size_t kSmallAllocation = std::size_t{1} << 20;

// ---- vortana-render -------------------------------------------------------------------------

using testing::ProgramRun;
using testing::ReadText;
using testing::RunRender;

/// vortana-render gives up on `path` with status 1 and a message that names the file.
void ExpectRenderRefuses(const std::string& path, const std::string& named) {
  SCOPED_TRACE(path);
  const ProgramRun run = RunRender({path, "--dump", "-"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find(named), std::string::npos) << "\"" << run.err << "\" lacks " << named;
}

/// vortana-render draws `path` as streamlines (regular and evenly spaced), as arrows over each
/// background, and with probes all over; every stored point lies in the drawing area.
void ExpectRenderDraws(const TempDir& dir, const std::string& path) {
  SCOPED_TRACE(path);
  const std::vector<std::vector<std::string>> runs = {
      {"--integrator", "rk2", "--background", "pressure", "--probe", "0,0", "--probe", "511,511"},
      {"--evenly-spaced", "--background", "vorticity", "--probe", "256,256", "--repaint"},
      {"--plot", "arrows", "--grid-size", "8", "--background", "flow", "--normalized", "--probe",
       "511,0", "--repaint"},
      {"--plot", "arrows", "--grid-size", "128", "--legend"},
  };
  for (const std::vector<std::string>& options : runs) {
    std::vector<std::string> args = {path, "-o", dir.File("out.png"), "--dump",
                                     dir.File("out.json")};
    args.insert(args.end(), options.begin(), options.end());
    const ProgramRun run = RunRender(args);
    ASSERT_EQ(run.status, 0) << options[0] << ": " << run.err;
    EXPECT_TRUE(std::filesystem::file_size(dir.File("out.png")) > 0);
    const Json json = Json::parse(ReadText(dir.File("out.json")));
    for (const Json& line : json["streamlines"]) {
      for (const Json& point : line) {
        EXPECT_TRUE(point[0] >= 0 && point[0] < 512 && point[1] >= 0 && point[1] < 512) << point;
      }
    }
    for (const Json& arrow : json["arrows"]) {
      EXPECT_TRUE(arrow["x"] >= 0 && arrow["x"] < 512 && arrow["y"] >= 0 && arrow["y"] < 512);
    }
  }
}

// ---- the loader -------------------------------------------------------------------------------

struct Loaded {
  std::unique_ptr<FlowField> field;
  std::string error;
  std::size_t largestAllocation = 0;
};

Loaded LoadPath(const std::string& path, int failAt = -1) {
  Loaded loaded;
  gLargest = 0;
  gLargeCount = 0;
  gFailAt = failAt;
  gTracking = true;
  loaded.field = testing::LoadPair(BaseNameOfPath(path), loaded.error);
  gTracking = false;
  gFailAt = -1;
  loaded.largestAllocation = gLargest;
  return loaded;
}

void ExpectMentions(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    EXPECT_NE(text.find(part), std::string::npos) << "\"" << text << "\" lacks \"" << part << "\"";
  }
}

/// Refused by the loader with a message naming `named` and giving the reason, leaving an empty
/// field; and by vortana-render with status 1 and the same message.
void ExpectRefused(const TempDir& dir, const HostileDataSet& set, const std::string& named,
                   const std::vector<std::string>& reason) {
  SCOPED_TRACE(set.name);
  const std::string path = WriteDataSet(dir, set);
  const Loaded loaded = LoadPath(path);
  ExpectMentions(loaded.error, {dir.File(named)});
  ExpectMentions(loaded.error, reason);
  EXPECT_TRUE(loaded.field->Empty());
  EXPECT_EQ(loaded.field->NodeCount(), 0);
  EXPECT_LT(loaded.largestAllocation, kSmallAllocation);
  ExpectRenderRefuses(path, dir.File(named));
}

/// Samples at the domain's edges, just beyond them, at non-finite points and at node positions;
/// outside the domain a field with a cell answers node 0's velocity, and every NodeAt answer is
/// a node of slice 0.
void ExpectSafeSampling(const FlowField& field) {
  const FieldStatistics& s = field.Stats();
  const std::vector<GridPoint>& nodes = field.Nodes();
  std::vector<float> xs = {s.minPosition.x, s.maxPosition.x, 0.0f, -1.0f, kNaN, kInf, -kInf,
                           std::nextafter(s.maxPosition.x, kInf),
                           std::nextafter(s.minPosition.x, -kInf)};
  std::vector<float> ys = {s.minPosition.y, s.maxPosition.y, 0.0f, -1.0f, kNaN, kInf, -kInf,
                           std::nextafter(s.maxPosition.y, kInf),
                           std::nextafter(s.minPosition.y, -kInf)};
  for (const GridPoint& node : nodes) {
    xs.push_back(node.position.x);
    ys.push_back(node.position.y);
  }
  const std::size_t sliceNodes = static_cast<std::size_t>(std::max<int>(field.Width(), 0)) *
                                 static_cast<std::size_t>(std::max<int>(field.Height(), 0));
  for (const float x : xs) {
    for (const float y : ys) {
      const Vec3 v = field.VelocityAt(x, y);
      const bool outside = x < s.minPosition.x || x > s.maxPosition.x || y < s.minPosition.y ||
                           y > s.maxPosition.y;
      if (!field.HasCell()) {
        EXPECT_EQ(v, Vec3()) << x << ", " << y;
      } else if (outside) {
        EXPECT_EQ(std::memcmp(&v, &nodes[0].velocity, sizeof v), 0) << x << ", " << y;
      }
      const GridPoint* node = &field.NodeAt(x, y);
      if (!nodes.empty()) {
        EXPECT_TRUE(std::less_equal<const GridPoint*>()(nodes.data(), node) &&
                    std::less<const GridPoint*>()(node, nodes.data() + sliceNodes))
            << x << ", " << y;
      }
    }
  }
}

/// Loaded without complaint and drawn: sampling is safe, vortana-render draws.
const FlowField& ExpectDrawn(const TempDir& dir, const HostileDataSet& set, Loaded& loaded) {
  SCOPED_TRACE(set.name);
  const std::string path = WriteDataSet(dir, set);
  loaded = LoadPath(path);
  EXPECT_EQ(loaded.error, "");
  EXPECT_TRUE(loaded.field->HasCell());
  ExpectSafeSampling(*loaded.field);
  ExpectRenderDraws(dir, path);
  return *loaded.field;
}

/// Loaded without complaint but without a cell to draw: the dialog's Visualize and probe show
/// the no-data message, and vortana-render exits 1 naming the file.
void ExpectNothingToDraw(const TempDir& dir, const HostileDataSet& set) {
  SCOPED_TRACE(set.name);
  const std::string path = WriteDataSet(dir, set);
  const Loaded loaded = LoadPath(path);
  EXPECT_EQ(loaded.error, "");
  EXPECT_FALSE(loaded.field->HasCell());
  ExpectSafeSampling(*loaded.field);

  FakePlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.Load(path);
  EXPECT_TRUE(platform.messages.empty());
  dialog.OnVisualize();
  dialog.OnLeftButtonDown(platform.layout.drawingArea.x + 5, platform.layout.drawingArea.y + 5);
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0].text, "Error: no data file selected");
  EXPECT_EQ(platform.messages[1].text, "Error: no data file selected");
  EXPECT_TRUE(dialog.StoredStreamlines().empty());

  ExpectRenderRefuses(path, path);
}

HostileDataSet WithHeader(HostileDataSet set, const std::string& header) {
  set.grid.replace(0, 40, testing::GridHeaderBytes(header));
  return set;
}

// ---- the cases --------------------------------------------------------------------------------

TEST(HostileInput, DeclaredSizesBeyondTheFilesAreRefusedBeforeAnythingIsAllocated) {
  TempDir dir;
  // 32767^3 nodes in a 40-byte file: more than a field can count.
  ExpectRefused(dir, {"cube", testing::GridHeaderBytes(HeaderText(32767, 32767, 32767, 2)), ""},
                "cube.gri", {"32767 x 32767 x 32767"});
  // 32767^2 nodes fit the count, but the 40-byte file holds none of their 12 bytes.
  ExpectRefused(dir, {"square", testing::GridHeaderBytes(HeaderText(32767, 32767, 1, 2)), ""},
                "square.gri", {"holds 40 bytes", "1073676289 nodes"});
  // A whole grid file, and a data file that ends one byte short of the last scalar.
  HostileDataSet shortData = LatticeSet("short-data", 4, 4, 1, 2);
  shortData.data.pop_back();
  ExpectRefused(dir, shortData, "short-data.00000.dat", {"holds 319 bytes", "16 nodes"});
  // Both files empty.
  ExpectRefused(dir, {"empty", "", ""}, "empty.gri", {"holds 0 bytes"});
  ExpectRefused(dir, {"empty-data", LatticeSet("x", 2, 2, 1, 2).grid, ""}, "empty-data.00000.dat",
                {"holds 0 bytes"});
}

TEST(HostileInput, DimensionsOutsideSixteenBitsAreRefused) {
  TempDir dir;
  const HostileDataSet base = LatticeSet("base", 2, 2, 1, 2);
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"SN4DB -4 2 1 2 0 0.0", {"width -4", "0 to 32767"}},
      {"SN4DB 2 -2 1 2 0 0.0", {"height -2"}},
      {"SN4DB 2 2 -1 2 0 0.0", {"depth -1"}},
      {"SN4DB 2 32768 1 2 0 0.0", {"height 32768"}},
      {"SN4DB 99999999999999999999 2 1 2 0 0.0", {"width 2147483647"}},
      {"SN4DB -99999999999999999999 2 1 2 0 0.0", {"width -2147483648"}},
  };
  int i = 0;
  for (const auto& [header, reason] : cases) {
    HostileDataSet set = WithHeader(base, header);
    set.name = "dims" + std::to_string(i++);
    ExpectRefused(dir, set, set.name + ".gri", reason);
  }
}

TEST(HostileInput, HeadersThatEndEarlyOrGoAstray) {
  TempDir dir;
  Loaded loaded;
  // Without its real number, or stopping after the depth: the fields after it stay 0.
  HostileDataSet noReal = WithHeader(LatticeSet("no-real", 3, 2, 1, 2), "SN4DB 3 2 1 2 0");
  EXPECT_EQ(ExpectDrawn(dir, noReal, loaded).HeaderReal(), 0.0f);
  HostileDataSet noScalars = LatticeSet("no-scalars", 2, 3, 1, 0);
  noScalars = WithHeader(noScalars, "SN4DB 2 3 1");
  EXPECT_EQ(ExpectDrawn(dir, noScalars, loaded).ScalarCount(), 0);
  // A real that overflows a float is infinite, and changes nothing that is drawn.
  HostileDataSet hugeReal =
      WithHeader(LatticeSet("huge-real", 2, 2, 1, 2), "SN4DB 2 2 1 2 7 -1.5e+9999x");
  EXPECT_EQ(ExpectDrawn(dir, hugeReal, loaded).HeaderReal(), -kInf);

  // Garbage after SN4DB stops the scan before the width: every dimension 0, nothing to draw.
  ExpectNothingToDraw(dir, WithHeader(LatticeSet("garbage", 2, 2, 1, 2), "SN4DB\x01\xff garbage"));
  // A NUL ends the header text: width 2 and nothing else.
  std::string nulHeader = "SN4DB 2 2 1 2 0 0.0";
  nulHeader[7] = '\0';
  ExpectNothingToDraw(dir, WithHeader(LatticeSet("nul", 2, 2, 1, 2), nulHeader));
  // No SN4DB at all.
  ExpectRefused(dir, WithHeader(LatticeSet("no-magic", 2, 2, 1, 2), "SNADB 2 2 1 2 0 0.0"),
                "no-magic.gri", {"does not begin with SN4DB"});
}

TEST(HostileInput, NonFinitePositionsAndVelocitiesAreDrawn) {
  TempDir dir;
  Loaded loaded;
  const std::vector<Vec3> lattice = LatticePositions(3, 3, 1, 1.0f);
  const std::vector<Vec3> moving(9, Vec3(1.0f, 0.5f, 0.0f));
  const std::string header = HeaderText(3, 3, 1, 2);

  // Positions that are not numbers enter no statistic: max x and y stay 0, so the scale is 0.
  HostileDataSet nanPositions{"nan-positions",
                              GridFileBytes(header, std::vector<Vec3>(9, Vec3(kNaN, kNaN, kNaN))),
                              DataFileBytes(moving, 2)};
  const FlowField& a = ExpectDrawn(dir, nanPositions, loaded);
  EXPECT_EQ(a.Stats().maxPosition, Vec3());
  EXPECT_EQ(a.Stats().minPosition.x, kFloatMax);

  std::vector<Vec3> infinite = lattice;
  for (Vec3& p : infinite) p = {p.x == 0 ? -kInf : p.x == 2 ? kInf : p.x, p.y == 2 ? kInf : p.y, 0};
  HostileDataSet infinitePositions{"infinite-positions", GridFileBytes(header, infinite),
                                   DataFileBytes(moving, 2)};
  EXPECT_EQ(ExpectDrawn(dir, infinitePositions, loaded).Stats().maxPosition.x, kInf);

  // Velocities: not numbers, infinite, and so large that the speed overflows a float.
  for (const auto& [name, velocity] : std::vector<std::pair<std::string, Vec3>>{
           {"nan-velocities", {kNaN, kNaN, kNaN}},
           {"infinite-velocities", {kInf, -kInf, 0.0f}},
           {"huge-velocities", {3.4e38f, 3.4e38f, 3.4e38f}}}) {
    std::vector<Vec3> velocities = moving;
    velocities[4] = velocity;  // the middle node
    HostileDataSet set{name, GridFileBytes(header, lattice), DataFileBytes(velocities, 2)};
    ExpectDrawn(dir, set, loaded);
  }
  EXPECT_EQ(loaded.field->Stats().maxSpeed, kInf);

  // Scalars that are not numbers or infinite colour their backgrounds without a crash.
  std::vector<float> data;
  for (int k = 0; k < 9; ++k) {
    data.insert(data.end(), {1.0f, 0.5f, 0.0f, k == 4 ? kNaN : 1.0f, k == 4 ? -kInf : 2.0f});
  }
  ExpectDrawn(dir, {"odd-scalars", GridFileBytes(header, lattice), testing::FloatBytes(data)},
              loaded);
}

TEST(HostileInput, GridsThatAreNotRectilinearAreSampledSafely) {
  TempDir dir;
  Loaded loaded;
  const std::string header = HeaderText(4, 3, 1, 2);
  const std::vector<Vec3> moving(12, Vec3(1.0f, 0.5f, 0.0f));
  // Every node at one point: every cell has size 0, every interpolation divides by 0.
  ExpectDrawn(dir,
              {"equal-coordinates", GridFileBytes(header, std::vector<Vec3>(12, Vec3(1, 1, 0))),
               DataFileBytes(moving, 2)},
              loaded);
  // Coordinates that fall along the rows and down the columns.
  std::vector<Vec3> falling = LatticePositions(4, 3, 1, 1.0f);
  for (Vec3& p : falling) p = {300.0f - 100.0f * p.x, 400.0f - 200.0f * p.y, 0.0f};
  ExpectDrawn(dir, {"decreasing", GridFileBytes(header, falling), DataFileBytes(moving, 2)},
              loaded);
  // Positions in no order at all.
  std::vector<Vec3> scattered = LatticePositions(4, 3, 1, 1.0f);
  for (size_t k = 0; k < scattered.size(); ++k) {
    scattered[k] = {static_cast<float>((k * 7919) % 13) * 40.0f,
                    static_cast<float>((k * 104729) % 11) * 50.0f, 0.0f};
  }
  ExpectDrawn(dir, {"scattered", GridFileBytes(header, scattered), DataFileBytes(moving, 2)},
              loaded);
}

TEST(HostileInput, GridsWithoutACellHaveNothingToDraw) {
  TempDir dir;
  ExpectNothingToDraw(dir, LatticeSet("one-by-six", 1, 6, 1, 2));
  ExpectNothingToDraw(dir, LatticeSet("six-by-one", 6, 1, 1, 2));
  ExpectNothingToDraw(dir, LatticeSet("depth-0", 3, 3, 0, 2));
  ExpectNothingToDraw(dir, LatticeSet("zero-by-zero", 0, 0, 1, 2));
}

TEST(HostileInput, ScalarCountsOfZeroOneAndFortyKeepNodesInStep) {
  TempDir dir;
  Loaded loaded;
  // Node k of a data file holds u, v, w and then k + 0.5, -(k + 0.5), 1000 + k, ...; a misread
  // layout would shift node 1's velocity and scalars.
  for (const int count : {0, 1, 40}) {
    const std::vector<Vec3> positions = LatticePositions(3, 2, 1, 1.0f);
    std::vector<Vec3> velocities;
    for (int k = 0; k < 6; ++k) velocities.emplace_back(static_cast<float>(k), 1.0f, 0.0f);
    const HostileDataSet set{"scalars-" + std::to_string(count),
                             GridFileBytes(HeaderText(3, 2, 1, count), positions),
                             DataFileBytes(velocities, count)};
    const FlowField& field = ExpectDrawn(dir, set, loaded);
    SCOPED_TRACE(count);
    for (int k = 0; k < 6; ++k) {
      const GridPoint& node = field.Nodes()[static_cast<size_t>(k)];
      EXPECT_EQ(node.velocity, Vec3(static_cast<float>(k), 1.0f, 0.0f));
      // Scalars the file does not hold are 0.
      EXPECT_EQ(node.scalar0, count >= 1 ? static_cast<float>(k) + 0.5f : 0.0f);
      EXPECT_EQ(node.scalar1, count >= 2 ? -(static_cast<float>(k) + 0.5f) : 0.0f);
    }
  }
}

TEST(HostileInput, PathsThatAreNoDataSetFileAreRefused) {
  TempDir dir;
  const HostileDataSet set = LatticeSet("good", 2, 2, 1, 2);

  // A folder where the grid file should be, and a folder given as the data set itself.
  std::filesystem::create_directory(dir.File("folder.gri"));
  WriteBytes(dir.File("folder.00000.dat"), set.data);
  Loaded loaded = LoadPath(dir.File("folder.gri"));
  ExpectMentions(loaded.error, {dir.File("folder.gri"), "folder"});
  ExpectRenderRefuses(dir.File("folder.gri"), dir.File("folder.gri"));
  ExpectRenderRefuses(dir.Path().string(), dir.Path().string() + ".gri");

  // Opening fails even for a user whom permissions do not stop: a file name longer than any
  // file system allows, and a path that runs through a file.
  const std::string longName = dir.File(std::string(300, 'n'));
  loaded = LoadPath(longName + ".gri");
  ExpectMentions(loaded.error, {longName + ".gri", "cannot be opened"});
  ExpectRenderRefuses(longName + ".gri", longName + ".gri");
  WriteBytes(dir.File("plain"), "not a folder");
  ExpectRenderRefuses(dir.File("plain/set.gri"), dir.File("plain/set.gri"));

  // Device files are no data set files either.
  std::filesystem::create_symlink("/dev/zero", dir.File("device.gri"));
  WriteBytes(dir.File("device.00000.dat"), set.data);
  ExpectRenderRefuses(dir.File("device.gri"), dir.File("device.gri"));
}

TEST(HostileInput, UnreadableFileIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop this user from reading";
  TempDir dir;
  const std::string path = WriteDataSet(dir, LatticeSet("locked", 2, 2, 1, 2));
  std::filesystem::permissions(dir.File("locked.00000.dat"), std::filesystem::perms::none);
  const Loaded loaded = LoadPath(path);
  ExpectMentions(loaded.error, {dir.File("locked.00000.dat"), "cannot be opened"});
  ExpectRenderRefuses(path, dir.File("locked.00000.dat"));
}

// Opening a named pipe for reading waits until something opens it for writing; a data set must
// not hang the program that way. Should the loader wait anyway, the test opens the pipe's other
// end itself, so that the failure is reported instead of the test hanging.
TEST(HostileInput, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  for (const std::string& suffix : {std::string(".gri"), std::string(".00000.dat")}) {
    const HostileDataSet set = LatticeSet("piped" + suffix, 2, 2, 1, 2);
    SCOPED_TRACE(set.name);
    const std::string path = WriteDataSet(dir, set);
    const std::string pipe = dir.File(set.name + suffix);
    std::filesystem::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    std::future<Loaded> load = std::async(std::launch::async, [&] { return LoadPath(path); });
    if (load.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "the loader waits for a writer on " << pipe;
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    const Loaded loaded = load.get();
    ExpectMentions(loaded.error, {pipe, "not a regular file"});
    EXPECT_TRUE(loaded.field->Empty());
    ExpectRenderRefuses(path, pipe);
  }
}

// Every large allocation of a load in turn fails as when memory runs out: the node array, the
// read buffers, the search index and the row offsets. Each is refused with a message naming the
// grid file, and leaves no field; the first load that meets no failure is whole.
TEST(HostileInput, MemoryThatRunsOutFailsTheLoadCleanly) {
  TempDir dir;
  const std::string path = WriteDataSet(dir, LatticeSet("memory", 128, 100, 1, 2));
  int failures = 0;
  for (int failAt = 0;; ++failAt) {
    SCOPED_TRACE(failAt);
    const Loaded loaded = LoadPath(path, failAt);
    if (loaded.error.empty()) {
      EXPECT_EQ(loaded.field->NodeCount(), 12800);
      break;
    }
    ++failures;
    ExpectMentions(loaded.error, {"there is not enough memory to ", "12800 nodes",
                                  dir.File("memory.gri")});
    EXPECT_TRUE(loaded.field->Empty());
    ASSERT_LT(failAt, 50) << "a load that never finishes";
  }
  // Node array, two read buffers, and the index's three axes and the row offsets.
  EXPECT_GE(failures, 4);
}

}  // namespace
}  // namespace vortana
