// Files written whole or not at all: the old file survives every failure, and no temporary is
// left behind.

#include "data/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/flow_file_writer.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::TempDir;

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectMentions(const std::string& text, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) {
    EXPECT_NE(text.find(part), std::string::npos) << "'" << part << "' missing in: " << text;
  }
}

TEST(OutputFile, ReplacesTheTargetOnlyWhenCommitted) {
  TempDir dir;
  const std::string target = dir.File("picture.png");
  WriteText(target, "old");
  ::chmod(target.c_str(), 0640);

  OutputFile file = OutputFile::Create(target, "the PNG file");
  file.Write("new ");
  file.Write("content");
  EXPECT_EQ(ReadText(target), "old");  // not before the commit
  ASSERT_EQ(file.Commit(), "");
  EXPECT_EQ(ReadText(target), "new content");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"picture.png"});
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Through a link the file is replaced and the link stays; /dev/null takes bytes as ever.
  fs::create_symlink("picture.png", dir.File("link.png"));
  ASSERT_EQ(WriteWholeFile(dir.File("link.png"), "", "linked"), "");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.png")));
  EXPECT_EQ(ReadText(target), "linked");
  EXPECT_EQ(WriteWholeFile("/dev/null", "", "discarded"), "");
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"link.png", "picture.png"}));
}

TEST(OutputFile, EveryFailureLeavesTheOldTargetAndNoTemporary) {
  struct Case {
    const char* name;
    void (*fail)(OutputFile&);
    const char* reason;
  };
  const Case cases[] = {
      {"a writer that reports a failure", [](OutputFile& f) { f.Fail("injected"); }, "injected"},
      {"a stream error after the bytes",
       [](OutputFile& f) {
         // Reading from a stream opened for writing sets its error flag, as a failed write does.
         std::fgetc(f.Stream());
       },
       "cannot write the JSON file"},
      {"abandoned", [](OutputFile& f) { f.Abandon(); }, "abandoned"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string target = dir.File("out.json");
    WriteText(target, "old");
    OutputFile file = OutputFile::Create(target, "the JSON file");
    file.Write("half");
    c.fail(file);
    file.Write(" more");
    const std::string error = file.Commit();
    ExpectMentions(error, {"cannot write the JSON file " + target, c.reason});
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"out.json"});
  }

  // Dropped without a commit, as when the writer is left by an exception.
  TempDir dir;
  WriteText(dir.File("kept.png"), "old");
  {
    OutputFile file = OutputFile::Create(dir.File("kept.png"));
    file.Write("new");
  }
  EXPECT_EQ(ReadText(dir.File("kept.png")), "old");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"kept.png"});
}

TEST(OutputFile, TargetsThatCannotBeWrittenNameTheReason) {
  TempDir dir;
  WriteText(dir.File("plain"), "a file");
  fs::create_directory(dir.File("folder"));
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  struct Case {
    std::string target;
    std::string reason;
  };
  const Case cases[] = {
      {dir.File("plain/out.png"), "Not a directory"},
      {dir.File("missing/out.png"), "No such file or directory"},
      {dir.File(std::string(300, 'n')), "File name too long"},
      {dir.File("folder"), "it is a folder"},
      // Refused at once: opening a pipe for writing waits for a reader.
      {dir.File("pipe"), "it is not a regular file"},
      {"/dev/full", "it is not a regular file"},
      {"", "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    OutputFile file = OutputFile::Create(c.target, "the PNG file");
    EXPECT_TRUE(file.Failed());
    EXPECT_EQ(file.Stream(), nullptr);
    EXPECT_EQ(file.Commit(), "cannot write the PNG file " + c.target + " (" + c.reason + ")");
  }
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"folder", "pipe", "plain"}));

  // The longest name the folder allows still gets a temporary of its own.
  const std::string longest = dir.File(std::string(255, 'm'));
  EXPECT_EQ(WriteWholeFile(longest, "", "x"), "");
  EXPECT_EQ(ReadText(longest), "x");
}

// The grid and data files of a pair are both complete before either replaces the old pair.
TEST(OutputFile, AFailedFlowPairLeavesTheOldPair) {
  TempDir dir;
  const std::vector<GridPoint> one(1);
  ASSERT_EQ(WriteFlowFiles(dir.File("set"), 1, 1, 1, 0, one), "");
  const std::string oldGrid = ReadText(dir.File("set.gri"));
  ASSERT_EQ(oldGrid.size(), 40u + 12u);

  fs::remove(dir.File("set.00000.dat"));
  fs::create_directory(dir.File("set.00000.dat"));
  const std::vector<GridPoint> four(4);
  const std::string error = WriteFlowFiles(dir.File("set"), 2, 2, 1, 0, four);
  ExpectMentions(error, {"the data file " + dir.File("set.00000.dat"), "folder"});
  EXPECT_EQ(ReadText(dir.File("set.gri")), oldGrid);
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"set.00000.dat", "set.gri"}));
}

}  // namespace
}  // namespace vortana
