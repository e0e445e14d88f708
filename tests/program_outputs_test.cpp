// What vortana-render and vortana-sample do with their outputs when they are the data set, a
// pipe, a full device or a path that is not UTF-8, and when memory runs out.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "data/flow_file_writer.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

namespace fs = std::filesystem;
using testing::ProgramRun;
using testing::ReadText;
using testing::TempDir;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

/// Runs `program` with `args` through the shell: `prefix` runs first (a ulimit), `redirect` takes
/// standard output (such as ">/dev/full"); a hang ends as status 124 after `seconds`.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& redirect = "", const std::string& prefix = "",
                      int seconds = 60) {
  TempDir streams;
  std::string command = "timeout " + std::to_string(seconds) + " sh -c " +
                        Quoted(prefix + " exec \"$0\" \"$@\"") + " " + Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " " + (redirect.empty() ? ">" + Quoted(streams.File("out")) : redirect) + " 2>" +
             Quoted(streams.File("err"));
  const int result = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  run.out = ReadText(streams.File("out"));
  run.err = ReadText(streams.File("err"));
  return run;
}

void ExpectMentions(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    EXPECT_NE(text.find(part), std::string::npos) << "'" << part << "' missing in: " << text;
  }
}

// A width x height grid over 0..512 flowing to the right; returns the grid file's path.
std::string WriteFlow(const std::string& baseName, int width, int height) {
  std::vector<GridPoint> nodes(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < nodes.size(); ++i) {
    nodes[i].position = {512.0f * static_cast<float>(i % width) / static_cast<float>(width - 1),
                         512.0f * static_cast<float>(i / width) / static_cast<float>(height - 1),
                         0.0f};
    nodes[i].velocity = {1, 0, 0};
  }
  EXPECT_EQ(WriteFlowFiles(baseName, width, height, 1, 0, nodes), "");
  return baseName + ".gri";
}

TEST(ProgramOutputs, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string grid = WriteFlow(dir.File("flow"), 2, 2);
  const std::string data = dir.File("flow.00000.dat");
  const std::string gridBytes = ReadText(grid);
  const std::string dataBytes = ReadText(data);
  fs::create_symlink(grid, dir.File("alias.png"));
  fs::create_symlink("flow.00000.dat", dir.File("alias.json"));
  fs::create_hard_link(grid, dir.File("hard.png"));
  struct Case {
    std::vector<std::string> args;
    std::string output;
    std::string input;
  };
  const Case cases[] = {
      {{grid, "-o", grid}, grid, grid},
      {{grid, "--dump", data}, data, data},
      {{data, "-o", dir.File("alias.png")}, dir.File("alias.png"), grid},
      {{grid, "--dump", dir.File("alias.json")}, dir.File("alias.json"), data},
      {{grid, "-o", dir.File("hard.png")}, dir.File("hard.png"), grid},
      // Neither output is written when the second one is refused.
      {{grid, "-o", dir.File("fresh.png"), "--dump", grid}, grid, grid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const ProgramRun run = RunProgram(VORTANA_RENDER_EXE, c.args);
    EXPECT_EQ(run.status, 2);
    ExpectMentions(run.err, {"vortana-render: ", c.output + " is the data set's", c.input});
    EXPECT_EQ(ReadText(grid), gridBytes);
    EXPECT_EQ(ReadText(data), dataBytes);
    EXPECT_FALSE(fs::exists(dir.File("fresh.png")));
  }
}

TEST(ProgramOutputs, APipeAsOutputIsRefusedAtOnce) {
  TempDir dir;
  const std::string grid = WriteFlow(dir.File("flow"), 2, 2);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  for (const std::string option : {"-o", "--dump"}) {
    // Ten seconds against a hang for ever: no reader ever opens the pipe.
    const ProgramRun pipe =
        RunProgram(VORTANA_RENDER_EXE, {grid, option, dir.File("pipe")}, "", "", 10);
    EXPECT_EQ(pipe.status, 2) << option;
    ExpectMentions(pipe.err, {dir.File("pipe"), "not a regular file"});
  }

  fs::create_directories(dir.File("samples"));
  ASSERT_EQ(::mkfifo(dir.File("samples/uniform.gri").c_str(), 0600), 0);
  const ProgramRun sample =
      RunProgram(VORTANA_SAMPLE_EXE, {"--size", "2", "uniform", dir.File("samples")}, "", "", 10);
  EXPECT_EQ(sample.status, 1);
  ExpectMentions(sample.err, {dir.File("samples/uniform.gri"), "not a regular file"});
  EXPECT_FALSE(fs::exists(dir.File("samples/uniform.00000.dat")));
}

TEST(ProgramOutputs, AFullStandardOutputFailsWithTheReason) {
  TempDir dir;
  const std::string grid = WriteFlow(dir.File("flow"), 2, 2);
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {VORTANA_RENDER_EXE,
       {grid, "--dump", "-"},
       "vortana-render: cannot write the JSON description to standard output"},
      {VORTANA_RENDER_EXE, {"--help"}, "vortana-render: cannot write to standard output"},
      {VORTANA_SAMPLE_EXE, {"--help"}, "vortana-sample: cannot write to standard output"},
      {VORTANA_SAMPLE_EXE, {"--list"}, "vortana-sample: cannot write to standard output"},
      {VORTANA_SAMPLE_EXE,
       {"--size", "2", "uniform", dir.File("s")},
       "vortana-sample: cannot write to standard output"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const ProgramRun run = RunProgram(c.program, c.args, ">/dev/full");
    EXPECT_EQ(run.status, 1);
    ExpectMentions(run.err, {c.message + " (No space left on device)"});
  }
  // A data set that was written stays; only the line that lists it is missing.
  EXPECT_EQ(ReadText(dir.File("s/uniform.gri")).size(), 40u + 4u * 12u);
}

TEST(ProgramOutputs, APathThatIsNotUtf8IsDescribedWithItsBytes) {
  TempDir dir;
  // "café" in Latin-1 (e9) and in UTF-8 (c3 a9).
  const std::string latin1 = WriteFlow(dir.File("caf\xe9"), 2, 2);
  const std::string utf8 = WriteFlow(dir.File("caf\xc3\xa9"), 2, 2);

  const ProgramRun run = RunProgram(VORTANA_RENDER_EXE, {latin1, "--dump", dir.File("out.json")});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::ordered_json::parse(ReadText(dir.File("out.json")));
  // The byte e9 reads as U+FFFD, which is ef bf bd in UTF-8.
  EXPECT_EQ(json["file"], dir.File("caf\xef\xbf\xbd.gri"));
  std::vector<int> bytes;
  for (const char c : dir.File("caf")) bytes.push_back(static_cast<unsigned char>(c));
  bytes.insert(bytes.end(), {0xe9, '.', 'g', 'r', 'i'});
  EXPECT_EQ(json["file_bytes"].get<std::vector<int>>(), bytes);
  EXPECT_EQ(std::next(json.begin()).key(), "file_bytes");
  EXPECT_EQ(json["width"], 2);

  const ProgramRun valid = RunProgram(VORTANA_RENDER_EXE, {utf8, "--dump", "-"});
  ASSERT_EQ(valid.status, 0) << valid.err;
  const auto same = nlohmann::ordered_json::parse(valid.out);
  EXPECT_EQ(same["file"], utf8);
  EXPECT_FALSE(same.contains("file_bytes"));
}

// The address sanitizer reserves terabytes of address space, so no limit leaves it room to run.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAddressLimitsWork = false;
#else
constexpr bool kAddressLimitsWork = true;
#endif

/// Runs the program under address-space limits, from the least that lets it finish down by
/// `step` KiB, `count` times: every run either finishes or exits 1 saying that there is not
/// enough memory, never an abort. Returns every message seen.
std::string RunUnderShrinkingMemory(const std::string& program,
                                    const std::vector<std::string>& args, int step, int count) {
  const auto runAt = [&](int kib) {
    return RunProgram(program, args, "", "ulimit -v " + std::to_string(kib) + ";");
  };
  // The least limit that lets the run finish, to 64 KiB; 4 GiB always does, and below 8 MiB
  // the C++ runtime itself cannot start.
  int low = 8 * 1024;
  int high = 4 * 1024 * 1024;
  EXPECT_EQ(runAt(high).status, 0);
  while (high - low > 64) {
    const int middle = low + (high - low) / 2;
    (runAt(middle).status == 0 ? high : low) = middle;
  }
  std::string messages;
  for (int i = 1; i <= count; ++i) {
    const ProgramRun run = runAt(high - i * step);
    SCOPED_TRACE(high - i * step);
    EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << ": " << run.err;
    if (run.status == 1) ExpectMentions(run.err, {"not enough memory"});
    messages += run.err;
  }
  return messages;
}

TEST(ProgramOutputs, RunningOutOfMemoryEndsWithAMessage) {
  if (!kAddressLimitsWork) GTEST_SKIP() << "the sanitizer reserves the address space";
  TempDir dir;
  // 16 x 16 nodes: the load needs next to nothing, so the PNG's buffers (about 3 MB) are the
  // largest that the run asks for last, and the limits just below the least that suffices fail
  // there.
  const std::string grid = WriteFlow(dir.File("flow"), 16, 16);
  const std::string messages =
      RunUnderShrinkingMemory(VORTANA_RENDER_EXE,
                              {grid, "--background", "flow", "--legend", "-o", dir.File("out.png"),
                               "--dump", dir.File("out.json")},
                              64, 40);
  ExpectMentions(messages, {"vortana-render: there is not enough memory to write the PNG file " +
                            dir.File("out.png")});
  EXPECT_EQ(messages.find("terminate"), std::string::npos);

  const std::string sampled = RunUnderShrinkingMemory(
      VORTANA_SAMPLE_EXE, {"--size", "1024", "uniform", dir.File("s")}, 1024, 20);
  ExpectMentions(sampled, {"vortana-sample: ", "not enough memory"});
}

}  // namespace
}  // namespace vortana
