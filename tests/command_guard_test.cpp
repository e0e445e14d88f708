// A window command that runs out of memory tells the user and leaves the dialog usable.

#include "app/command_guard.h"

#include <gtest/gtest.h>

#include <new>

#include "app/visualizer_dialog.h"
#include "support/fake_platform.h"

namespace vortana {
namespace {

TEST(CommandGuard, OutOfMemoryIsReportedAndTheNextCommandRuns) {
  testing::FakePlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();

  bool ran = false;
  RunCommand(platform, "visualize the data set", [&] {
    ran = true;
    throw std::bad_alloc();
  });
  EXPECT_TRUE(ran);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "There is not enough memory to visualize the data set.");
  EXPECT_EQ(platform.messages[0].caption, "Vortana Visualization");
  EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);

  // The dialog answers the next command as ever: Visualize with nothing loaded.
  RunCommand(platform, "visualize the data set", [&] { dialog.OnVisualize(); });
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1].text, "Error: no data file selected");
}

}  // namespace
}  // namespace vortana
