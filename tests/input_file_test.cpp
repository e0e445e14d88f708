// Opening an input: what is checked is what was opened.

#include "data/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "support/flow_files.h"
#include "support/hostile_files.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::TempDir;

/// Clears the hook however the test ends.
struct HookGuard {
  ~HookGuard() { SetBeforeOpenHookForTesting({}); }
};

// A file that is regular when the load looks at it by name (to choose its reader, say) and is
// swapped for a named pipe just before it is opened: the open must not wait for a writer, and
// the load must refuse the pipe. Should the loader wait anyway, the test writes to the pipe
// itself, so that the failure is reported instead of the test hanging.
TEST(InputFileTest, AFileSwappedForAPipeBeforeTheOpenIsRefused) {
  TempDir dir;
  for (const std::string suffix : {".gri", ".00000.dat"}) {
    SCOPED_TRACE(suffix);
    const testing::HostileDataSet set = testing::LatticeSet("swapped", 2, 2, 1, 2);
    const std::string path = testing::WriteDataSet(dir, set);
    const std::string victim = dir.File("swapped" + suffix);
    HookGuard guard;
    SetBeforeOpenHookForTesting([&](const std::string& name) {
      if (name != victim || !std::filesystem::is_regular_file(victim)) return;
      std::filesystem::remove(victim);
      ASSERT_EQ(::mkfifo(victim.c_str(), 0600), 0);
    });
    std::future<LoadResult> load =
        std::async(std::launch::async, [&] { return LoadDataSet(dir.File("swapped")); });
    if (load.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "the loader waits for a writer on " << victim;
      const int fd = ::open(victim.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    const LoadResult result = load.get();
    ASSERT_FALSE(result.Ok());
    EXPECT_EQ(result.Failure().file, victim);
    EXPECT_EQ(result.Message(), victim + " is not a regular file");
    std::filesystem::remove(victim);
  }
}

TEST(InputFileTest, ReadsExactlyAndSaysWhenTheFileEnds) {
  TempDir dir;
  testing::WriteBytes(dir.File("five"), "abcde");
  std::string error;
  InputFile file = InputFile::Open(dir.File("five"), error);
  ASSERT_TRUE(file.IsOpen()) << error;
  EXPECT_EQ(file.Size(), 5u);
  char bytes[4] = {};
  EXPECT_EQ(file.ReadExactly(bytes, 3), "");
  EXPECT_EQ(std::string(bytes, 3), "abc");
  EXPECT_EQ(file.ReadExactly(bytes, 3), dir.File("five") + " became shorter while it was being read");

  InputFile folder = InputFile::Open(dir.Path().string(), error);
  EXPECT_FALSE(folder.IsOpen());
  EXPECT_EQ(error, dir.Path().string() + " is a folder, not a file");
}

}  // namespace
}  // namespace vortana
