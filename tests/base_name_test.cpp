#include "data/base_name.h"

#include <gtest/gtest.h>

namespace vortana {
namespace {

TEST(BaseNameTest, CutsTheFileNameBeforeItsLastDot) {
  EXPECT_EQ(BaseNameOfPath("flow.old.gri"), "flow.old");
  EXPECT_EQ(BaseNameOfPath("dir/run1.gri"), "dir/run1");
  EXPECT_EQ(BaseNameOfPath("/data/sets/cavity.txt"), "/data/sets/cavity");
  EXPECT_EQ(BaseNameOfPath("run1."), "run1");
}

TEST(BaseNameTest, EitherFileOfAPairGivesThePair) {
  EXPECT_EQ(BaseNameOfPath("run1.00000.dat"), "run1");
  EXPECT_EQ(BaseNameOfPath("dir/run1.00000.dat"), "dir/run1");
  EXPECT_EQ(BaseNameOfPath("dir/run1.gri"), BaseNameOfPath("dir/run1.00000.dat"));
  // Only the whole fixed suffix goes; another counter is an ordinary extension.
  EXPECT_EQ(BaseNameOfPath("run1.00001.dat"), "run1.00001");
}

TEST(BaseNameTest, FolderNamesAreNeverCut) {
  EXPECT_EQ(BaseNameOfPath("flow"), "flow");
  EXPECT_EQ(BaseNameOfPath("data.v2/flow"), "data.v2/flow");
  EXPECT_EQ(BaseNameOfPath("/home/user/sets.old/run1.gri"), "/home/user/sets.old/run1");
  EXPECT_EQ(BaseNameOfPath("sets.old/run1.00000.dat"), "sets.old/run1");
}

TEST(BaseNameTest, FormsThePairOfFileNames) {
  EXPECT_EQ(GridFileName("flow.old"), "flow.old.gri");
  EXPECT_EQ(DataFileName("flow.old"), "flow.old.00000.dat");
  EXPECT_EQ(GridFileName(""), ".gri");
  EXPECT_EQ(DataFileName(""), ".00000.dat");
  // No length limit: a name of 300 characters is formed whole.
  const std::string longBase(300, 'a');
  EXPECT_EQ(GridFileName(longBase).size(), 304u);
  EXPECT_EQ(DataFileName(longBase).size(), 310u);
}

}  // namespace
}  // namespace vortana
