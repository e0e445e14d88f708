// NetCDF files against the same field written as a grid/data file pair: one analytic field in
// the formats and layouts users meet (classic and NetCDF-4, time steps, levels, falling
// latitudes, packed shorts with fill values), and every refusal with its message.

#include "data/netcdf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"
#include "support/flow_files.h"
#include "support/netcdf_files.h"
#include "support/temp_dir.h"
#include "support/wrapped_files.h"

namespace vortana {
namespace {

using testing::NcDimension;
using testing::NcVariable;
using testing::TempDir;
using testing::WriteNetcdf;

// The analytic field: 4 x 3 nodes, x 0 to 1.5, y 10 to 30, u = c + 10 r, v = -c / 4,
// pressure r, vorticity c x r; at step t everything but the grid adds 100 t.
const std::vector<double> kXs = {0.0, 0.5, 1.0, 1.5};
const std::vector<double> kYs = {10.0, 20.0, 30.0};

double U(int c, int r, int t = 0) { return c + 10.0 * r + 100.0 * t; }
double V(int c, int, int t = 0) { return -c / 4.0 + 100.0 * t; }
double P(int, int r, int t = 0) { return r + 100.0 * t; }
double Q(int c, int r, int t = 0) { return c * r + 100.0 * t; }

using Formula = std::function<double(int, int, int)>;

/// Values in the file's order: steps, then rows (reversed when the file's y falls), columns.
std::vector<double> Values(const Formula& f, int steps = 1, bool fallingY = false) {
  std::vector<double> values;
  for (int t = 0; t < steps; ++t) {
    for (int row = 0; row < 3; ++row) {
      const int r = fallingY ? 2 - row : row;
      for (int c = 0; c < 4; ++c) values.push_back(f(c, r, t));
    }
  }
  return values;
}

/// The same step as a file pair, node by node from the formulas.
std::unique_ptr<FlowField> PairField(const TempDir& dir, int t, int scalarCount = 2) {
  std::vector<GridPoint> nodes;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      GridPoint node;
      node.position = {static_cast<float>(kXs[c]), static_cast<float>(kYs[r]), 0.0f};
      node.velocity = {static_cast<float>(U(c, r, t)), static_cast<float>(V(c, r, t)), 0.0f};
      node.scalar0 = scalarCount >= 1 ? static_cast<float>(P(c, r, t)) : 0.0f;
      node.scalar1 = scalarCount >= 2 ? static_cast<float>(Q(c, r, t)) : 0.0f;
      nodes.push_back(node);
    }
  }
  const std::string base = dir.File("pair" + std::to_string(t));
  EXPECT_EQ(WriteFlowFiles(base, 4, 3, 1, scalarCount, nodes), "");
  LoadResult loaded = LoadDataSet(base + ".gri");
  EXPECT_TRUE(loaded.Ok()) << loaded.Message();
  return loaded.TakeField();
}

bool SameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

void ExpectSameField(const FlowField& a, const FlowField& b, const std::string& what) {
  ASSERT_EQ(a.Width(), b.Width()) << what;
  ASSERT_EQ(a.Height(), b.Height()) << what;
  ASSERT_EQ(a.Depth(), b.Depth()) << what;
  EXPECT_EQ(a.ScalarCount(), b.ScalarCount()) << what;
  ASSERT_EQ(a.Nodes().size(), b.Nodes().size()) << what;
  for (std::size_t i = 0; i < a.Nodes().size(); ++i) {
    const GridPoint& m = a.Nodes()[i];
    const GridPoint& n = b.Nodes()[i];
    const float left[] = {m.position.x, m.position.y, m.position.z, m.velocity.x,
                          m.velocity.y, m.velocity.z, m.scalar0,    m.scalar1};
    const float right[] = {n.position.x, n.position.y, n.position.z, n.velocity.x,
                           n.velocity.y, n.velocity.z, n.scalar0,    n.scalar1};
    for (int k = 0; k < 8; ++k) {
      ASSERT_TRUE(SameBits(left[k], right[k]))
          << what << ": node " << i << " value " << k << ": " << left[k] << " vs " << right[k];
    }
  }
  EXPECT_TRUE(SameBits(a.Stats().maxSpeed, b.Stats().maxSpeed)) << what;
  EXPECT_EQ(a.IsPlanar(), b.IsPlanar()) << what;
}

NcVariable Coordinate(const std::string& name, std::vector<double> values,
                      const std::string& axis = "") {
  NcVariable var{name, NC_DOUBLE, {name}, {}, {}, std::move(values)};
  if (!axis.empty()) var.text.push_back({"axis", axis});
  return var;
}

/// The field in the plainest layout: x, y coordinates and u, v, pressure, vorticity on (y, x).
std::vector<NcVariable> PlainVariables() {
  const std::vector<std::string> yx = {"y", "x"};
  return {Coordinate("x", kXs), Coordinate("y", kYs),
          {"u", NC_FLOAT, yx, {}, {}, Values(U)},
          {"v", NC_FLOAT, yx, {}, {}, Values(V)},
          {"pressure", NC_FLOAT, yx, {}, {}, Values(P)},
          {"vorticity", NC_FLOAT, yx, {}, {}, Values(Q)}};
}

LoadResult Load(const std::string& path, int step = 0, const NetcdfVariables& names = {}) {
  FileStore files;
  const NetcdfReader reader(names);
  return LoadDataSet(path, files, ReaderSet::Standard().Replacing(reader), ReadRequest{step});
}

TEST(NetcdfReaderTest, LayoutsUsersMeetGiveThePairsField) {
  TempDir dir;
  const std::unique_ptr<FlowField> pair = PairField(dir, 0);
  // Hand check of the reference: node (c 2, r 1) at (1, 20) moves at (12, -0.5).
  const GridPoint& node = pair->Nodes()[1 * 4 + 2];
  EXPECT_EQ(node.position.x, 1.0f);
  EXPECT_EQ(node.position.y, 20.0f);
  EXPECT_EQ(node.velocity.x, 12.0f);
  EXPECT_EQ(node.velocity.y, -0.5f);
  EXPECT_EQ(node.scalar1, 2.0f);

  const std::vector<std::string> latLon = {"lat", "lon"};
  auto lonLat = [](std::vector<double> xs, std::vector<double> ys) {
    NcVariable lon{"lon", NC_FLOAT, {"lon"}, {{"standard_name", "longitude"}}, {}, xs};
    NcVariable lat{"lat", NC_FLOAT, {"lat"}, {{"standard_name", "latitude"}}, {}, ys};
    return std::vector<NcVariable>{lon, lat};
  };
  struct Case {
    std::string name;
    int format;
    std::vector<NcDimension> dims;
    std::vector<NcVariable> vars;
  };
  std::vector<Case> cases;
  cases.push_back({"classic.nc", NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}}, PlainVariables()});
  cases.push_back({"offset64.nc", NC_64BIT_OFFSET, {{"x", 4}, {"y", 3}}, PlainVariables()});
  cases.push_back({"netcdf4.nc", NC_NETCDF4, {{"x", 4}, {"y", 3}}, PlainVariables()});
  {
    // CF names on latitude and longitude, latitude falling as in most global files, and the
    // velocity in doubles under names the reader cannot guess.
    std::vector<NcVariable> vars = lonLat(kXs, {30.0, 20.0, 10.0});
    vars.push_back({"east", NC_DOUBLE, latLon, {{"standard_name", "eastward_wind"}}, {},
                    Values(U, 1, true)});
    vars.push_back({"north", NC_DOUBLE, latLon, {{"standard_name", "northward_wind"}}, {},
                    Values(V, 1, true)});
    vars.push_back({"PRESSURE", NC_FLOAT, latLon, {}, {}, Values(P, 1, true)});
    vars.push_back({"vort", NC_FLOAT, latLon, {}, {}, Values(Q, 1, true)});
    cases.push_back({"falling-latitude.nc", NC_NETCDF4, {{"lon", 4}, {"lat", 3}}, vars});
  }
  {
    // Dimensions in the other order, found by the axis attribute, and sea water velocity.
    std::vector<double> u, v, p, q;
    for (int c = 0; c < 4; ++c) {
      for (int r = 0; r < 3; ++r) {
        u.push_back(U(c, r));
        v.push_back(V(c, r));
        p.push_back(P(c, r));
        q.push_back(Q(c, r));
      }
    }
    const std::vector<std::string> xy = {"i", "j"};
    cases.push_back({"transposed.nc",
                     NC_CLASSIC_MODEL,
                     {{"i", 4}, {"j", 3}},
                     {Coordinate("i", kXs, "X"), Coordinate("j", kYs, "Y"),
                      {"uo", NC_FLOAT, xy, {{"standard_name", "eastward_sea_water_velocity"}}, {}, u},
                      {"vo", NC_FLOAT, xy, {{"standard_name", "northward_sea_water_velocity"}}, {}, v},
                      {"pres", NC_FLOAT, xy, {}, {}, p},
                      {"Vorticity", NC_FLOAT, xy, {}, {}, q}}});
  }
  {
    // Packed: u in shorts of 0.5 plus 1 (u = 0.5 s + 1, so s = 2u - 2), v's fill value unused.
    std::vector<NcVariable> vars = PlainVariables();
    vars[2].type = NC_SHORT;
    vars[2].numbers = {{"scale_factor", 0.5}, {"add_offset", 1.0}};
    for (double& value : vars[2].values) value = 2 * value - 2;
    vars[3].numbers = {{"_FillValue", -999.0}};
    cases.push_back({"packed.nc", NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}}, vars});
  }
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    WriteNetcdf(path, c.format, c.dims, c.vars);
    LoadResult loaded = Load(path);
    ASSERT_TRUE(loaded.Ok()) << c.name << ": " << loaded.Message();
    ExpectSameField(*loaded.Field(), *pair, c.name);
  }
}

TEST(NetcdfReaderTest, TimeStepsAndLevels) {
  TempDir dir;
  // Three steps over the unlimited dimension; a level dimension of 1 is a single slice.
  std::vector<NcVariable> vars = PlainVariables();
  for (std::size_t i = 2; i < vars.size(); ++i) vars[i].dims = {"time", "y", "x"};
  vars[2].values = Values(U, 3);
  vars[3].values = Values(V, 3);
  vars[4].values = Values(P, 3);
  vars[5].values = Values(Q, 3);
  const std::string path = dir.File("steps.nc");
  WriteNetcdf(path, NC_NETCDF4, {{"time", 0}, {"x", 4}, {"y", 3}}, vars);
  for (int t = 0; t < 3; ++t) {
    LoadResult loaded = Load(path, t);
    ASSERT_TRUE(loaded.Ok()) << loaded.Message();
    EXPECT_EQ(loaded.StepCount(), 3);
    ExpectSameField(*loaded.Field(), *PairField(dir, t), "step " + std::to_string(t));
  }
  EXPECT_EQ(Load(path, 3).Message(), path + " holds 3 time steps, not step 3");
  EXPECT_EQ(Load(path, -1).Message(), path + " holds 3 time steps, not step -1");

  // Two levels: the slices, z from the level coordinate; level 1 holds u + 1000.
  std::vector<NcVariable> levels = {Coordinate("x", kXs), Coordinate("y", kYs),
                                    Coordinate("lev", {850.0, 500.0})};
  std::vector<double> u = Values(U);
  for (double value : Values(U)) u.push_back(value + 1000);
  std::vector<double> v = Values(V);
  for (double value : Values(V)) v.push_back(value);
  levels.push_back({"u", NC_FLOAT, {"lev", "y", "x"}, {}, {}, u});
  levels.push_back({"v", NC_FLOAT, {"lev", "y", "x"}, {}, {}, v});
  const std::string levelPath = dir.File("levels.nc");
  WriteNetcdf(levelPath, NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}, {"lev", 2}}, levels);
  LoadResult loaded = Load(levelPath);
  ASSERT_TRUE(loaded.Ok()) << loaded.Message();
  const FlowField& field = *loaded.Field();
  ASSERT_EQ(field.Depth(), 2);
  EXPECT_EQ(loaded.StepCount(), 1);
  EXPECT_EQ(field.ScalarCount(), 0);
  const GridPoint& upper = field.Nodes()[12 + 1 * 4 + 2];  // slice 1, row 1, column 2
  EXPECT_EQ(upper.position.z, 500.0f);
  EXPECT_EQ(upper.velocity.x, 1012.0f);
  EXPECT_EQ(field.Nodes()[6].position.z, 850.0f);
}

TEST(NetcdfReaderTest, ALargeNetcdf4StepReadsAsTheClassicFileDoes) {
  // Large enough that a step arrives in bands of rows (from the bottom, as latitude falls; for
  // NetCDF-4 whole chunks of 19 rows, 266 rows a band, the last of a slice 18), each built as it
  // comes: NetCDF-4 from a child process, through more bands than its ring has slots, the
  // classic file from another thread.
  const std::size_t nx = 1000, ny = 550;
  std::vector<double> lon, lat, u, v, p;
  for (std::size_t c = 0; c < nx; ++c) lon.push_back(-180.0 + 0.5 * c);
  for (std::size_t r = 0; r < ny; ++r) lat.push_back(80.0 - 0.25 * r);
  for (int t = 0; t < 2; ++t) {
    for (int level = 0; level < 2; ++level) {
      for (std::size_t r = 0; r < ny; ++r) {
        for (std::size_t c = 0; c < nx; ++c) {
          u.push_back(c + 0.001 * r + 1000.0 * level + 10000.0 * t);
          v.push_back(-0.5 * r + 0.25 * c);
          p.push_back((c * 7 + r * 3 + t) % 2000 == 0 ? -999 : double((c + r + level) % 500));
        }
      }
    }
  }
  const std::vector<std::string> dims = {"time", "lev", "lat", "lon"};
  const std::vector<std::size_t> chunks = {1, 1, 19, nx};
  std::vector<NcVariable> vars = {
      Coordinate("lon", lon), Coordinate("lat", lat), Coordinate("lev", {1000.0, 850.0}),
      Coordinate("time", {0.0, 6.0}), {"u", NC_FLOAT, dims, {}, {}, u},
      {"v", NC_FLOAT, dims, {}, {}, v},
      {"pressure", NC_SHORT, dims, {}, {{"scale_factor", 0.5}, {"_FillValue", -999}}, p}};
  vars[0].text.push_back({"standard_name", "longitude"});
  vars[1].text.push_back({"standard_name", "latitude"});
  TempDir dir;
  const std::vector<NcDimension> sizes = {{"time", 2}, {"lev", 2}, {"lat", ny}, {"lon", nx}};
  const std::string classic = dir.File("classic.nc");
  WriteNetcdf(classic, NC_64BIT_OFFSET, sizes, vars);
  for (std::size_t k = 4; k < vars.size(); ++k) vars[k].chunks = chunks;
  const std::string netcdf4 = dir.File("netcdf4.nc");
  WriteNetcdf(netcdf4, NC_NETCDF4, sizes, vars);
  for (int step = 0; step < 2; ++step) {
    LoadResult whole = Load(classic, step);
    LoadResult banded = Load(netcdf4, step);
    ASSERT_TRUE(whole.Ok()) << whole.Message();
    ASSERT_TRUE(banded.Ok()) << banded.Message();
    EXPECT_EQ(banded.StepCount(), 2);
    ExpectSameField(*whole.Field(), *banded.Field(), "step " + std::to_string(step));
    // Latitude turned to rise: the first row is the file's last; a fill value is NaN.
    const std::vector<GridPoint>& nodes = banded.Field()->Nodes();
    EXPECT_EQ(nodes[0].position.y, 80.0f - 0.25f * (ny - 1));
    EXPECT_EQ(nodes[0].velocity.x, static_cast<float>(0.001 * (ny - 1) + 10000.0 * step));
    // Level 1, the field's row 100 (the file's row 449), column 7.
    const GridPoint& inside = nodes[nx * ny + 100 * nx + 7];
    EXPECT_EQ(inside.position.z, 850.0f);
    EXPECT_EQ(inside.velocity.x, static_cast<float>(7 + 0.001 * 449 + 1000.0 + 10000.0 * step));
    EXPECT_EQ(inside.velocity.y, static_cast<float>(-0.5 * 449 + 0.25 * 7));
    EXPECT_EQ(inside.scalar0, static_cast<float>((7 + 449 + 1) % 500 * 0.5));
  }
}

TEST(NetcdfReaderTest, FillAndMissingValuesBecomeNaN) {
  TempDir dir;
  std::vector<NcVariable> vars = PlainVariables();
  vars[2].type = NC_SHORT;
  vars[2].numbers = {{"scale_factor", 0.25}, {"add_offset", -3.0}, {"_FillValue", -32767}};
  vars[2].values = {-32767, 0, 4, 8, 1, 2, 3, 4, 5, 6, 7, -32767};
  vars[3].numbers = {{"missing_value", 1e20}};
  vars[3].values[5] = 1e20;
  const std::string path = dir.File("fill.nc");
  WriteNetcdf(path, NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}}, vars);
  LoadResult loaded = Load(path);
  ASSERT_TRUE(loaded.Ok()) << loaded.Message();
  const std::vector<GridPoint>& nodes = loaded.Field()->Nodes();
  EXPECT_TRUE(std::isnan(nodes[0].velocity.x));
  EXPECT_TRUE(std::isnan(nodes[11].velocity.x));
  EXPECT_EQ(nodes[1].velocity.x, -3.0f);   // 0 x 0.25 - 3
  EXPECT_EQ(nodes[3].velocity.x, -1.0f);   // 8 x 0.25 - 3
  EXPECT_EQ(nodes[10].velocity.x, -1.25f); // 7 x 0.25 - 3
  EXPECT_TRUE(std::isnan(nodes[5].velocity.y));
  EXPECT_EQ(nodes[6].velocity.y, -0.5f);
}

TEST(NetcdfReaderTest, NamedVariablesWinOverGuesses) {
  TempDir dir;
  std::vector<NcVariable> vars = PlainVariables();
  vars.push_back({"gust_u", NC_FLOAT, {"y", "x"}, {}, {}, Values(Q)});
  const std::string path = dir.File("named.nc");
  WriteNetcdf(path, NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}}, vars);
  LoadResult loaded = Load(path, 0, {"gust_u", "", "vorticity", "pressure"});
  ASSERT_TRUE(loaded.Ok()) << loaded.Message();
  const GridPoint& node = loaded.Field()->Nodes()[1 * 4 + 2];
  EXPECT_EQ(node.velocity.x, 2.0f);   // vorticity c x r
  EXPECT_EQ(node.velocity.y, -0.5f);  // v as found
  EXPECT_EQ(node.scalar0, 2.0f);      // pressure named vorticity
  EXPECT_EQ(node.scalar1, 1.0f);
}

TEST(NetcdfReaderTest, RefusalsNameTheFileAndTheFault) {
  TempDir dir;
  const std::vector<std::string> yx = {"y", "x"};
  struct Case {
    std::string name;
    std::vector<NcDimension> dims;
    std::vector<NcVariable> vars;
    std::string message;  // after "PATH: "
  };
  std::vector<NcVariable> noVelocity = {Coordinate("x", kXs), Coordinate("y", kYs),
                                        {"speed", NC_FLOAT, yx, {}, {}, Values(U)},
                                        {"angle", NC_FLOAT, yx, {}, {}, Values(V)}};
  std::vector<NcVariable> shortV = PlainVariables();
  shortV[3].dims = {"y", "x1"};
  shortV[3].values.resize(9);
  std::vector<NcVariable> offAxis = {
      Coordinate("x", {0, 1, 2, 3, 4}, "X"), Coordinate("y", kYs),
      {"u", NC_FLOAT, {"y", "nx"}, {}, {}, Values(U)}, {"v", NC_FLOAT, {"y", "nx"}, {}, {}, Values(V)}};
  std::vector<NcVariable> curvilinear = {
      {"lon", NC_FLOAT, yx, {{"standard_name", "longitude"}}, {}, Values(U)},
      {"u", NC_FLOAT, yx, {}, {}, Values(U)}, {"v", NC_FLOAT, yx, {}, {}, Values(V)}};
  std::vector<NcVariable> zigzag = PlainVariables();
  zigzag[0].values = {0.0, 1.0, 0.5, 2.0};
  std::vector<NcVariable> narrow = {Coordinate("x", {0.0}), Coordinate("y", kYs),
                                    {"u", NC_FLOAT, yx, {}, {}, {1, 2, 3}},
                                    {"v", NC_FLOAT, yx, {}, {}, {1, 2, 3}}};
  std::vector<NcVariable> extra = PlainVariables();
  extra[2].dims = extra[3].dims = {"member", "y", "x"};
  extra[2].values = Values(U, 2);
  extra[3].values = Values(V, 2);
  // An empty record dimension whose coordinate says it is x, while the last two are the grid's.
  std::vector<NcVariable> falseX = PlainVariables();
  falseX.push_back(Coordinate("time", {}, "X"));
  falseX[2].dims = falseX[3].dims = {"time", "y", "x"};
  falseX[2].values = falseX[3].values = {};
  const std::vector<Case> cases = {
      {"no-velocity.nc", {{"x", 4}, {"y", 3}}, noVelocity,
       "no velocity found (by standard_name, or named u and v, ua and va, uas and vas, uo and "
       "vo); the variables with two or more dimensions are: speed, angle (name them with --u "
       "and --v)"},
      {"short-v.nc", {{"x", 4}, {"x1", 3}, {"y", 3}}, shortV,
       "variable v has shape 3 x 3; u has 3 x 4"},
      {"off-axis.nc", {{"x", 5}, {"nx", 4}, {"y", 3}}, offAxis,
       "variable u has shape 3 x 4; x has 5 values"},
      {"curvilinear.nc", {{"x", 4}, {"y", 3}}, curvilinear,
       "lon has 2 dimensions (a curvilinear grid); only grids with 1-D coordinates load"},
      {"zigzag.nc", {{"x", 4}, {"y", 3}}, zigzag,
       "x neither rises nor falls throughout (value 1 is 1, value 2 is 0.5)"},
      {"narrow.nc", {{"x", 1}, {"y", 3}}, narrow,
       "x has 1 value; a field needs at least 2 nodes a side"},
      {"extra.nc", {{"member", 2}, {"x", 4}, {"y", 3}}, extra,
       "variable u has dimension member of 2 values, which is neither time, vertical nor "
       "horizontal"},
      {"false-x.nc", {{"time", 0}, {"x", 4}, {"y", 3}}, falseX,
       "variable u has dimension time of 0 values, which is neither time, vertical nor "
       "horizontal"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    WriteNetcdf(path, NC_CLASSIC_MODEL, c.dims, c.vars);
    const LoadResult loaded = Load(path);
    ASSERT_FALSE(loaded.Ok()) << c.name;
    EXPECT_EQ(loaded.Failure().file, path);
    EXPECT_EQ(loaded.Message(), path + ": " + c.message);
    EXPECT_EQ(loaded.Field(), nullptr);
  }
  // A name the user gives that the file lacks.
  const std::string plain = dir.File("plain.nc");
  WriteNetcdf(plain, NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}}, PlainVariables());
  EXPECT_EQ(Load(plain, 0, {"wind_u", "", "", ""}).Message(),
            plain + ": there is no variable wind_u (named by --u); the variables with two or "
                    "more dimensions are: u, v, pressure, vorticity");
  // Not NetCDF at all, by name; and NetCDF bytes under another name are found by contents.
  const std::string fake = dir.File("fake.nc");
  testing::WriteBytes(fake, "CDF\x01 but nothing after it");
  EXPECT_EQ(Load(fake).Message().rfind(fake + " cannot be read as a NetCDF file (", 0), 0u)
      << Load(fake).Message();
  // A classic header that declares a dimension name of 4 GB in a file of 20 bytes.
  const std::string huge = dir.File("huge-name.nc");
  testing::WriteBytes(huge, std::string("CDF\x01\0\0\0\0\0\0\0\x0a\0\0\0\x01\xff\xff\xff\xf0", 20));
  EXPECT_EQ(Load(huge).Message(), huge + " cannot be read as a NetCDF file (the header is damaged "
                                         "or declares more than the file holds)");
  // A dimension name of 300 characters, which libnetcdf would copy past a name buffer.
  const std::string longName = dir.File("long-name.nc");
  testing::WriteBytes(longName, std::string("CDF\x01\0\0\0\0\0\0\0\x0a\0\0\0\x01\0\0\x01\x2c", 20) +
                                    std::string(300, 'n') + std::string("\0\0\0\x02", 4) +
                                    std::string(16, '\0'));
  EXPECT_EQ(Load(longName).Message(), longName + " cannot be read as a NetCDF file (the header "
                                                 "is damaged or declares more than the file holds)");
  const std::string hidden = dir.File("plain.data");
  std::filesystem::copy_file(plain, hidden);
  EXPECT_TRUE(Load(hidden).Ok()) << Load(hidden).Message();
}

TEST(NetcdfReaderTest, FilesAndMemoryReadAlike) {
  // A file is opened by libnetcdf itself once its header, read in growing pieces, has passed the
  // checks; memory is read whole. A header of 300 kB (a long history) takes three pieces.
  std::vector<NcVariable> longHeader = PlainVariables();
  longHeader[2].text.push_back({"history", std::string(300000, 'h')});
  const std::pair<int, std::vector<NcVariable>> cases[] = {
      {NC_NETCDF4, PlainVariables()},
      {NC_CLASSIC_MODEL, longHeader},
      {NC_64BIT_OFFSET, longHeader}};
  TempDir dir;
  for (const auto& [format, vars] : cases) {
    SCOPED_TRACE(format);
    const std::string path = dir.File("plain.nc");
    WriteNetcdf(path, format, {{"x", 4}, {"y", 3}}, vars);
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    MemoryStore memory;
    memory.Add("memory.nc", bytes);
    LoadResult fromMemory = LoadDataSet("memory.nc", memory);
    ASSERT_TRUE(fromMemory.Ok()) << fromMemory.Message();
    LoadResult fromFile = LoadDataSet(path);
    ASSERT_TRUE(fromFile.Ok()) << fromFile.Message();
    ExpectSameField(*fromMemory.Field(), *fromFile.Field(), "memory");
    if (format == NC_NETCDF4) continue;
    // Cut inside the long attribute: refused alike either way.
    const std::string damaged = " cannot be read as a NetCDF file (the header is damaged or "
                                "declares more than the file holds)";
    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + 200000);
    testing::WriteBytes(path, std::string(cut.begin(), cut.end()));
    memory.Add("memory.nc", cut);
    EXPECT_EQ(LoadDataSet(path).Message(), path + damaged);
    EXPECT_EQ(LoadDataSet("memory.nc", memory).Message(), "memory.nc" + damaged);
    // Cut inside the vorticity's values (big-endian floats), which libnetcdf would read from a
    // file as zeros.
    std::vector<unsigned char> last;
    for (const double q : vars[5].values) {
      const uint32_t word = std::bit_cast<uint32_t>(static_cast<float>(q));
      for (int shift = 24; shift >= 0; shift -= 8) last.push_back((word >> shift) & 0xFF);
    }
    const auto values = std::search(bytes.begin(), bytes.end(), last.begin(), last.end());
    ASSERT_NE(values, bytes.end());
    cut.assign(bytes.begin(), values + 8);
    testing::WriteBytes(path, std::string(cut.begin(), cut.end()));
    EXPECT_EQ(LoadDataSet(path).Message(), path + " cannot be read as a NetCDF file (the header "
                                                  "declares values beyond the end of the file)");
  }
}

/// A file whose system path leads nowhere, as when the library cannot open a file itself.
struct UnopenableFile final : testing::ForwardingSource {
  using ForwardingSource::ForwardingSource;
  std::string SystemPath() const override { return "/nonexistent/vortana/case.nc"; }
};

TEST(NetcdfReaderTest, AFileTheLibraryCannotOpenItselfIsReadFromMemory) {
  TempDir dir;
  for (const int format : {NC_NETCDF4, NC_64BIT_OFFSET}) {
    const std::string path = dir.File("plain.nc");
    WriteNetcdf(path, format, {{"x", 4}, {"y", 3}}, PlainVariables());
    testing::WrappingStore store(
        [](std::unique_ptr<ByteSource> file) {
          return std::make_unique<UnopenableFile>(std::move(file));
        });
    LoadResult fromMemory = LoadDataSet(path, store);
    ASSERT_TRUE(fromMemory.Ok()) << fromMemory.Message();
    LoadResult fromFile = LoadDataSet(path);
    ASSERT_TRUE(fromFile.Ok()) << fromFile.Message();
    ExpectSameField(*fromMemory.Field(), *fromFile.Field(), "memory");
  }
}

TEST(NetcdfReaderTest, FilesLibhdf5FailsOnAreRefusedAndTheProgramGoesOn) {
  // Found by fuzzing: NetCDF-4 files whose dimension scales point into a damaged global heap, on
  // which libhdf5 1.10 reads for ever, or copies past its buffer. Refused alike from a file and
  // from memory.
  const std::pair<std::string, std::string> cases[] = {
      {"hdf5-heap-loop.nc",
       " cannot be read: libhdf5 spent more than 2 s reading its header without finishing; "
       "the file is damaged"},
      // A segmentation fault, or under AddressSanitizer its report and exit status.
      {"hdf5-heap-overrun.nc", " cannot be read: libhdf5 failed on it ("}};
  for (const auto& [name, message] : cases) {
    const std::string path = VORTANA_TEST_DATA "/" + name;
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 1000u) << name;
    MemoryStore memory;
    memory.Add("memory.nc", bytes);
    for (const std::string& file : {path, std::string("memory.nc")}) {
      const std::string refusal =
          (file == path ? LoadDataSet(path) : LoadDataSet(file, memory)).Message();
      EXPECT_EQ(refusal.rfind(file + message, 0), 0u) << refusal;
      EXPECT_TRUE(refusal.ends_with("; the file is damaged")) << refusal;
    }
  }
}

}  // namespace
}  // namespace vortana
