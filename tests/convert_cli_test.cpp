// vortana-convert run as a user runs it: round trips that keep every byte, time steps spread
// over data files and arrays, the .npz read back by NumPy, and refusals with their exit codes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"
#include "support/netcdf_files.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::NcVariable;
using testing::ReadText;
using testing::TempDir;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

ProgramResult RunProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
  std::string command = Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " >" + Quoted(dir.File("stdout")) + " 2>" + Quoted(dir.File("stderr"));
  const int result = std::system(command.c_str());
  ProgramResult run;
  if (result != -1 && WIFEXITED(result)) run.status = WEXITSTATUS(result);
  run.out = ReadText(dir.File("stdout"));
  run.err = ReadText(dir.File("stderr"));
  return run;
}

ProgramResult Convert(const TempDir& dir, const std::vector<std::string>& args) {
  return RunProgram(dir, VORTANA_CONVERT_EXE, args);
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

/// A sample flow written by vortana-sample: an independent writer of the pair.
std::string SamplePair(const TempDir& dir, const std::string& flow) {
  const ProgramResult run = RunProgram(dir, VORTANA_SAMPLE_EXE,
                             {"--width", "17", "--height", "11", "--extent", "3,2", flow,
                              dir.File("in")});
  EXPECT_EQ(run.status, 0) << run.err;
  return dir.File("in/" + flow + ".gri");
}

TEST(ConvertCliTest, PairThroughNetcdfAndBackKeepsEveryByte) {
  TempDir dir;
  for (const std::string flow : {"rankine-vortex", "cylinder"}) {
    const std::string grid = SamplePair(dir, flow);
    const std::string nc = dir.File(flow + ".nc");
    const std::string back = dir.File(flow + "-back.gri");
    ProgramResult run = Convert(dir, {grid, nc});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, nc + ": 17 x 11 x 1 nodes, 1 time step\n");
    run = Convert(dir, {nc, back});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(back), Bytes(grid)) << flow;
    EXPECT_EQ(Bytes(dir.File(flow + "-back.00000.dat")),
              Bytes(dir.File("in/" + flow + ".00000.dat")))
        << flow;
  }
}

/// Python with NumPy, as Debian installs it.
constexpr const char* kPython = VORTANA_NUMPY_PYTHON;

TEST(ConvertCliTest, NpzHoldsThePairsValuesAsNumpyReadsThem) {
  TempDir dir;
  const std::string grid = SamplePair(dir, "rankine-vortex");
  const std::string npz = dir.File("flow.npz");
  const ProgramResult run = Convert(dir, {grid, npz});
  ASSERT_EQ(run.status, 0) << run.err;
  // NumPy reads the pair's bytes on its own and compares them bit for bit with the archive.
  const std::string script = R"(
import sys, numpy as np
grid, data, npz = sys.argv[1:4]
d = np.load(npz)
assert sorted(d.files) == ['pressure', 'u', 'v', 'vorticity', 'x', 'y'], d.files
xyz = np.fromfile(grid, dtype='<f4', offset=40).reshape(11, 17, 3)
vals = np.fromfile(data, dtype='<f4').reshape(11, 17, 5)
same = lambda a, b: a.dtype == np.dtype('<f4') and a.shape == b.shape and a.tobytes() == b.tobytes()
assert same(d['x'], xyz[0, :, 0].copy()) and same(d['y'], xyz[:, 0, 1].copy())
for k, name in enumerate(['u', 'v', 'w', 'pressure', 'vorticity']):
    if name != 'w':
        assert same(d[name], vals[:, :, k].copy()), name
assert not vals[:, :, 2].any()
print('ok')
)";
  std::ofstream(dir.File("check.py")) << script;
  const ProgramResult check = RunProgram(dir, kPython,
                               {dir.File("check.py"), grid, dir.File("in/rankine-vortex.00000.dat"),
                                npz});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out, "ok\n");
}

TEST(ConvertCliTest, TimeStepsGoToDataFilesAndArrays) {
  TempDir dir;
  // Three steps of a 3 x 2 field: u = 100 t + k, v = -k for node k.
  std::vector<double> u, v;
  for (int t = 0; t < 3; ++t) {
    for (int k = 0; k < 6; ++k) {
      u.push_back(100.0 * t + k);
      v.push_back(-k);
    }
  }
  const std::string nc = dir.File("steps.nc");
  testing::WriteNetcdf(nc, NC_NETCDF4, {{"time", 0}, {"y", 2}, {"x", 3}},
                       {{"x", NC_FLOAT, {"x"}, {}, {}, {0, 1, 2}},
                        {"y", NC_FLOAT, {"y"}, {}, {}, {5, 7}},
                        {"u", NC_FLOAT, {"time", "y", "x"}, {}, {}, u},
                        {"v", NC_FLOAT, {"time", "y", "x"}, {}, {}, v}});
  ProgramResult run = Convert(dir, {nc, dir.File("steps.gri")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, dir.File("steps.gri") + ": 3 x 2 x 1 nodes, 3 time steps\n");
  // Step 2's data file: u, v, w of each node, no scalars.
  std::string expected;
  for (int k = 0; k < 6; ++k) {
    const float values[] = {200.0f + k, static_cast<float>(-k), 0.0f};
    expected.append(reinterpret_cast<const char*>(values), sizeof values);
  }
  EXPECT_EQ(Bytes(dir.File("steps.00002.dat")), expected);
  EXPECT_FALSE(std::filesystem::exists(dir.File("steps.00003.dat")));

  // Through .nc again: the same steps come back.
  const std::string again = dir.File("again.nc");
  run = Convert(dir, {nc, again});
  ASSERT_EQ(run.status, 0) << run.err;
  FileStore files;
  LoadResult step2 = LoadDataSet(again, files, ReaderSet::Standard(), ReadRequest{2});
  ASSERT_TRUE(step2.Ok()) << step2.Message();
  EXPECT_EQ(step2.StepCount(), 3);
  EXPECT_EQ(step2.Field()->Nodes()[4].velocity.x, 204.0f);
  EXPECT_EQ(step2.Field()->Nodes()[4].position.y, 7.0f);

  // And as arrays of T x H x W.
  run = Convert(dir, {nc, dir.File("steps.npz")});
  ASSERT_EQ(run.status, 0) << run.err;
  const ProgramResult check = RunProgram(
      dir, kPython,
      {"-c",
       "import sys, numpy as np; d = np.load(sys.argv[1]); "
       "print(d['u'].shape, d['u'][2, 1, 1], d['v'][0, 1, 2], sorted(d.files))",
       dir.File("steps.npz")});
  EXPECT_EQ(check.out, "(3, 2, 3) 204.0 -5.0 ['u', 'v', 'x', 'y']\n") << check.err;
}

TEST(ConvertCliTest, RefusalsAndExitCodes) {
  TempDir dir;
  const std::string grid = SamplePair(dir, "uniform");
  // A grid that is not rectilinear: node 4 moved off its column.
  std::vector<GridPoint> nodes(9);
  for (int k = 0; k < 9; ++k) nodes[k].position = {static_cast<float>(k % 3), static_cast<float>(k / 3), 0};
  nodes[4].position.x = 1.5f;
  ASSERT_EQ(WriteFlowFiles(dir.File("bent"), 3, 3, 1, 0, nodes), "");
  const std::string bentNc = dir.File("bent.nc");

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::string tryHelp = "Try 'vortana-convert --help' for more information.\n";
  const std::vector<Case> cases = {
      {{grid, dir.File("out.txt")}, 2,
       "vortana-convert: cannot tell the format of '" + dir.File("out.txt") +
           "': OUT must end in .gri, .npz or .nc\n" + tryHelp},
      {{grid}, 2, "vortana-convert: missing OUT after IN '" + grid + "'\n" + tryHelp},
      {{"--bogus", grid, "x.nc"}, 2, "vortana-convert: unknown option '--bogus'\n" + tryHelp},
      {{grid, grid}, 1, "vortana-convert: cannot write " + grid + ": it is the input file " + grid + "\n"},
      {{dir.File("in/uniform.00000.dat"), grid}, 1,
       "vortana-convert: cannot write " + grid + ": it is the input file " +
           dir.File("in/uniform.00000.dat") + "\n"},
      {{dir.File("missing.nc"), dir.File("out.gri")}, 1,
       "vortana-convert: " + dir.File("missing.nc") +
           " cannot be opened (No such file or directory)\n"},
      {{dir.File("bent.gri"), bentNc}, 1,
       "vortana-convert: cannot write " + bentNc +
           ": the grid is not rectilinear (x along the rows, y along the columns, z per slice); "
           "node 4 is off the lines; only rectilinear grids can be written to .npz and .nc\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult run = Convert(dir, c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(bentNc));
  const ProgramResult help = Convert(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--u NAME", "--v NAME", "--pressure NAME", "--vorticity NAME"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace vortana
