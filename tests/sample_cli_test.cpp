// vortana-sample run as a user runs it: files written, read back, and the command line refused
// with the right exit code and message.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/sample_flows.h"
#include "data/flow_field.h"
#include "support/load_pair.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

struct SampleRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

/// Runs vortana-sample with `args` (already quoted as the shell needs), capturing both streams
/// into files of `scratch`.
SampleRun RunSample(const TempDir& scratch, const std::string& args) {
  const std::string out = scratch.File("stdout.txt");
  const std::string err = scratch.File("stderr.txt");
  const std::string command =
      std::string("'") + VORTANA_SAMPLE_EXE + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  SampleRun run;
  if (status != -1 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool SameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

void ExpectSameNodes(const std::vector<GridPoint>& loaded, const std::vector<GridPoint>& made) {
  ASSERT_EQ(loaded.size(), made.size());
  for (std::size_t i = 0; i < made.size(); ++i) {
    const GridPoint& a = loaded[i];
    const GridPoint& b = made[i];
    const bool same = SameBits(a.position.x, b.position.x) && SameBits(a.position.y, b.position.y) &&
                      SameBits(a.position.z, b.position.z) && SameBits(a.velocity.x, b.velocity.x) &&
                      SameBits(a.velocity.y, b.velocity.y) && SameBits(a.velocity.z, b.velocity.z) &&
                      SameBits(a.scalar0, b.scalar0) && SameBits(a.scalar1, b.scalar1);
    ASSERT_TRUE(same) << "node " << i;
  }
}

TEST(SampleCliTest, OneFlowReadsBackBitForBit) {
  TempDir dir;
  const std::string outDir = dir.File("out");
  const SampleRun run = RunSample(dir, "--size 33 --extent 2,0.5 cylinder " + Quoted(outDir));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("cylinder.gri"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("33 x 33"), std::string::npos) << run.out;

  // 33 x 33 = 1089 nodes: 40 + 12 * 1089 bytes of grid, 20 * 1089 bytes of data.
  EXPECT_EQ(fs::file_size(outDir + "/cylinder.gri"), 13108u);
  EXPECT_EQ(fs::file_size(outDir + "/cylinder.00000.dat"), 21780u);

  std::string error;
  const std::unique_ptr<FlowField> field = testing::LoadPair(outDir + "/cylinder", error);
  ASSERT_EQ(error, "");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->Width(), 33);
  EXPECT_EQ(field->Height(), 33);
  EXPECT_EQ(field->Depth(), 1);
  EXPECT_EQ(field->ScalarCount(), 2);
  SampleOptions options;
  options.width = options.height = 33;
  options.extentX = 2.0f;
  options.extentY = 0.5f;
  ExpectSameNodes(field->Nodes(), MakeSampleNodes(SampleFlow::Cylinder, options));
}

TEST(SampleCliTest, AllFlowsAreWrittenIntoANewFolder) {
  TempDir dir;
  const std::string outDir = dir.File("new/nested");
  const SampleRun run = RunSample(dir, "--all --width=20 --height 12 " + Quoted(outDir));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  SampleOptions options;
  options.width = 20;
  options.height = 12;
  int lines = 0;
  for (char c : run.out) lines += c == '\n';
  EXPECT_EQ(lines, 6) << run.out;
  for (SampleFlow flow : AllSampleFlows()) {
    const std::string base = outDir + "/" + SampleFlowName(flow);
    SCOPED_TRACE(base);
    EXPECT_NE(run.out.find(base + ".gri: 20 x 12 nodes"), std::string::npos) << run.out;
    std::string error;
    const std::unique_ptr<FlowField> field = testing::LoadPair(base, error);
    ASSERT_EQ(error, "");
    ExpectSameNodes(field->Nodes(), MakeSampleNodes(flow, options));
  }
}

TEST(SampleCliTest, DefaultGridIs128NodesSquareOver512Units) {
  TempDir dir;
  // Everything after "--" is an operand.
  const SampleRun run = RunSample(dir, "-- double-gyre " + Quoted(dir.Path().string()));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::string error;
  const std::unique_ptr<FlowField> field = testing::LoadPair(dir.File("double-gyre"), error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(field->Width(), 128);
  EXPECT_EQ(field->Height(), 128);
  EXPECT_EQ(field->Stats().maxPosition, Vec3(512.0f, 512.0f, 0.0f));
}

TEST(SampleCliTest, BadCommandLinesExitWithTwoAndNameTheFault) {
  TempDir dir;
  const std::string out = Quoted(dir.File("out"));
  struct Case {
    std::string args;
    std::string message;
  };
  const Case cases[] = {
      {"--frobnicate uniform " + out, "unknown option '--frobnicate'"},
      {"--width 1 uniform " + out, "--width must be a whole number from 2 to 4096, not '1'"},
      {"--width 5000 uniform " + out, "--width must be a whole number from 2 to 4096, not '5000'"},
      {"--height abc uniform " + out, "--height must be a whole number from 2 to 4096, not 'abc'"},
      {"--size 12x uniform " + out, "--size must be a whole number from 2 to 4096, not '12x'"},
      {"uniform " + out + " --width", "--width needs a value"},
      {"--extent 0,1 uniform " + out, "--extent must be two positive finite numbers"},
      {"--extent 1 uniform " + out, "--extent must be two positive finite numbers"},
      {"--extent 1,nan uniform " + out, "--extent must be two positive finite numbers"},
      {"--extent 1,1e39 uniform " + out, "--extent must be two positive finite numbers"},
      {"tornado " + out, "unknown flow 'tornado'; the flows are uniform, rankine-vortex"},
      {"uniform", "missing OUTDIR"},
      {"", "missing FLOW and OUTDIR"},
      {"--all", "--all needs OUTDIR"},
      {"--all uniform " + out, "--all writes every flow"},
      {"uniform " + out + " extra", "unexpected argument 'extra'"},
      {"uniform " + out + " --extent", "--extent needs a value"},
      {"--size=4097 uniform " + out, "--size must be a whole number from 2 to 4096, not '4097'"},
      {"--width= uniform " + out, "--width must be a whole number from 2 to 4096, not ''"},
      {"--list=yes", "--list takes no value"},
      {"--list uniform", "--list takes no arguments, not 'uniform'"},
      {"-x uniform " + out, "unknown option '-x'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const SampleRun run = RunSample(dir, c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("vortana-sample: " + c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

TEST(SampleCliTest, HelpAndListExitWithZero) {
  TempDir dir;
  for (const std::string args : {"--help", "-h", "uniform --help"}) {
    SCOPED_TRACE(args);
    const SampleRun help = RunSample(dir, args);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: vortana-sample", 0), 0u) << help.out;
    for (const char* option : {"--all", "--width N", "--height N", "--size N", "--extent X,Y",
                               "--list", "2 to 4096 (default 128)", "default 512,512"})
      EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const SampleRun list = RunSample(dir, "--list");
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "uniform\nrankine-vortex\ndouble-gyre\ncylinder\nvortex-street\nspiral-sink\n");
}

TEST(SampleCliTest, WriteFailuresExitWithOneAndNameTheFile) {
  TempDir dir;
  // OUTDIR is a regular file: the folder cannot be made.
  std::ofstream(dir.File("occupied")) << "x";
  const SampleRun folder = RunSample(dir, "uniform " + Quoted(dir.File("occupied")));
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_NE(folder.err.find(dir.File("occupied")), std::string::npos) << folder.err;

  // A folder stands where the grid file goes: the file cannot be created.
  fs::create_directories(dir.File("out/uniform.gri"));
  const SampleRun file = RunSample(dir, "uniform " + Quoted(dir.File("out")));
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_NE(file.err.find(dir.File("out/uniform.gri")), std::string::npos) << file.err;
  EXPECT_EQ(file.out, "");
}

}  // namespace
}  // namespace vortana
