// The exchange between the dialog's controls and its settings, and what a failed reading stops.

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "app/integer_text.h"
#include "app/visualizer_dialog.h"
#include "support/fake_platform.h"

namespace vortana {
namespace {

using testing::FakePlatform;

class SettingsExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.OnInitDialog();
    ASSERT_TRUE(platform.messages.empty());
  }

  void ExpectOneWarning(const std::string& text, const std::string& caption) {
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, text);
    EXPECT_EQ(platform.messages[0].caption, caption);
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Warning);
  }

  FakePlatform platform;
  VisualizerDialog dialog{platform};
};

// A field sampled everywhere as (1, 0, 0) over 512 x 512 world units: one world unit a pixel.
std::unique_ptr<FlowField> FlowToTheRight() {
  std::vector<GridPoint> nodes(4);
  nodes[1].position = {512, 0, 0};
  nodes[2].position = {0, 512, 0};
  nodes[3].position = {512, 512, 0};
  for (GridPoint& node : nodes) node.velocity = {1, 0, 0};
  return FlowField::FromNodes(2, 2, 1, 0, nodes);
}

TEST(IntegerText, AcceptsOnlyAWholeSignedDecimalInteger) {
  EXPECT_EQ(ParseIntegerText("32"), 32);
  EXPECT_EQ(ParseIntegerText("  64  "), 64);
  EXPECT_EQ(ParseIntegerText("\t7"), 7);
  EXPECT_EQ(ParseIntegerText("+5"), 5);
  EXPECT_EQ(ParseIntegerText("-12"), -12);
  EXPECT_EQ(ParseIntegerText("007"), 7);
  EXPECT_EQ(ParseIntegerText("2147483647"), 2147483647);
  EXPECT_EQ(ParseIntegerText("-2147483648"), -2147483647 - 1);
  for (const char* text : {"", "   ", "+", "-", "+-3", "1.5", "12a", "a12", "4 2", "0x10", "1e3",
                           "2147483648", "99999999999"}) {
    EXPECT_FALSE(ParseIntegerText(text).has_value()) << '"' << text << '"';
  }
  EXPECT_EQ(IntegerText(-5), "-5");
  EXPECT_EQ(IntegerText(12345), "12345");
}

TEST_F(SettingsExchangeTest, ReadsEveryControlIntoItsSetting) {
  platform.Type(kIdSizeText, "4");
  platform.Type(kIdWidthText, "2");
  platform.Type(kIdHeightText, "2");
  platform.Type(kIdDepthText, "1");
  platform.Type(kIdFileName, "data/run1.gri");
  platform.Type(kIdGridSize, " 64 ");
  platform.controls[kIdNormalized].checked = true;
  platform.CheckRadio({kIdEuler, kIdRungeKutta}, kIdRungeKutta);
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  platform.controls[kIdBackground].checked = true;
  platform.Type(kIdDeltaT, "+5");
  platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, kIdVorticity);
  platform.controls[kIdEvenlySpaced].checked = true;
  platform.Type(kIdDTest, "3");  // below the spinner's 5, but only "at least 1" is checked
  platform.Type(kIdDSep, "50");

  EXPECT_TRUE(dialog.ReadSettings());
  const Settings& s = dialog.GetSettings();
  EXPECT_EQ(s.sizeText, "4");
  EXPECT_EQ(s.widthText, "2");
  EXPECT_EQ(s.heightText, "2");
  EXPECT_EQ(s.depthText, "1");
  EXPECT_EQ(s.fileName, "data/run1.gri");
  EXPECT_EQ(s.gridSize, 64);
  EXPECT_EQ(s.normalized, 1);
  EXPECT_EQ(s.integrator, 1);
  EXPECT_EQ(s.plotType, 0);
  EXPECT_EQ(s.background, 1);
  EXPECT_EQ(s.deltaT, 5);
  EXPECT_EQ(s.colourBy, 2);
  EXPECT_EQ(s.evenlySpaced, 1);
  EXPECT_EQ(s.dTest, 3);
  EXPECT_EQ(s.dSep, 50);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SettingsExchangeTest, AValueOutOfRangeIsNotStoredAndStopsTheReading) {
  platform.Type(kIdFileName, "next.gri");
  platform.Type(kIdGridSize, "16");
  platform.controls[kIdNormalized].checked = true;
  platform.CheckRadio({kIdEuler, kIdRungeKutta}, kIdRungeKutta);
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  platform.controls[kIdBackground].checked = true;
  platform.Type(kIdDeltaT, "21");
  platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, kIdPressure);
  platform.controls[kIdEvenlySpaced].checked = true;
  platform.Type(kIdDTest, "7");
  platform.Type(kIdDSep, "40");

  EXPECT_FALSE(dialog.ReadSettings());
  ExpectOneWarning("Please enter an integer between 1 and 20.", "Delta t");
  const Settings& s = dialog.GetSettings();
  // Read before Delta t: the new values.
  EXPECT_EQ(s.fileName, "next.gri");
  EXPECT_EQ(s.gridSize, 16);
  EXPECT_EQ(s.normalized, 1);
  EXPECT_EQ(s.integrator, 1);
  EXPECT_EQ(s.plotType, 0);
  EXPECT_EQ(s.background, 1);
  // Delta t keeps its last valid value, the start-up 10; its field keeps the refused text.
  EXPECT_EQ(s.deltaT, 10);
  EXPECT_EQ(platform.controls[kIdDeltaT].text, "21");
  // After it: the values after start-up.
  EXPECT_EQ(s.colourBy, 0);
  EXPECT_EQ(s.evenlySpaced, 0);
  EXPECT_EQ(s.dTest, 10);
  EXPECT_EQ(s.dSep, 20);
}

TEST_F(SettingsExchangeTest, ANonIntegerStopsTheReadingAndKeepsItsSetting) {
  platform.Type(kIdFileName, "typed.gri");
  platform.Type(kIdGridSize, "3x");
  platform.controls[kIdNormalized].checked = true;

  EXPECT_FALSE(dialog.ReadSettings());
  ExpectOneWarning("Please enter an integer.", "Gridsize");
  EXPECT_EQ(dialog.GetSettings().fileName, "typed.gri");
  EXPECT_EQ(dialog.GetSettings().gridSize, 32);
  EXPECT_EQ(dialog.GetSettings().normalized, 0);

  platform.messages.clear();
  platform.Type(kIdGridSize, "32");
  platform.Type(kIdDSep, "");
  EXPECT_FALSE(dialog.ReadSettings());
  ExpectOneWarning("Please enter an integer.", "d_sep");
  EXPECT_EQ(dialog.GetSettings().normalized, 1);
}

TEST_F(SettingsExchangeTest, EachRangeIsTestedWithItsOwnMessage) {
  struct Case {
    int id;
    const char* text;
    const char* message;
    const char* caption;
  };
  const Case cases[] = {
      {kIdGridSize, "7", "Please enter an integer between 8 and 128.", "Gridsize"},
      {kIdGridSize, "129", "Please enter an integer between 8 and 128.", "Gridsize"},
      {kIdDeltaT, "0", "Please enter an integer between 1 and 20.", "Delta t"},
      {kIdDTest, "0", "Please enter an integer of at least 1.", "d_test"},
      {kIdDTest, "-4", "Please enter an integer of at least 1.", "d_test"},
      {kIdDSep, "9", "Please enter an integer between 10 and 50.", "d_sep"},
      {kIdDSep, "51", "Please enter an integer between 10 and 50.", "d_sep"},
      {kIdDeltaT, "ten", "Please enter an integer.", "Delta t"},
      {kIdDTest, "1.0", "Please enter an integer.", "d_test"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " in " + c.caption);
    FakePlatform fresh;
    VisualizerDialog d(fresh);
    d.OnInitDialog();
    fresh.Type(c.id, c.text);
    EXPECT_FALSE(d.ReadSettings());
    ASSERT_EQ(fresh.messages.size(), 1u);
    EXPECT_EQ(fresh.messages[0].text, c.message);
    EXPECT_EQ(fresh.messages[0].caption, c.caption);
  }

  // The ends of each range, and a d_test far above its spinner's range, are accepted.
  for (const auto& [id, text] : std::vector<std::pair<int, const char*>>{{kIdGridSize, "8"},
                                                                         {kIdGridSize, "128"},
                                                                         {kIdDeltaT, "1"},
                                                                         {kIdDeltaT, "20"},
                                                                         {kIdDTest, "1"},
                                                                         {kIdDTest, "1000"},
                                                                         {kIdDSep, "10"},
                                                                         {kIdDSep, "50"}}) {
    platform.Type(id, text);
    EXPECT_TRUE(dialog.ReadSettings()) << text;
  }
  EXPECT_EQ(dialog.GetSettings().dTest, 1000);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SettingsExchangeTest, NoCheckedRadioButtonIsMinusOneBothWays) {
  platform.CheckRadio({kIdEuler, kIdRungeKutta}, 0);
  platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, 0);
  EXPECT_TRUE(dialog.ReadSettings());
  EXPECT_EQ(dialog.GetSettings().integrator, -1);
  EXPECT_EQ(dialog.GetSettings().colourBy, -1);
  EXPECT_EQ(dialog.GetSettings().plotType, 1);

  Settings& s = dialog.MutableSettings();
  s.integrator = 1;
  s.plotType = -1;
  s.colourBy = 3;  // no such button: the group is cleared as for -1
  s.gridSize = -5;
  s.fileName = "shown.gri";
  dialog.ShowSettings();
  EXPECT_FALSE(platform.IsChecked(kIdEuler));
  EXPECT_TRUE(platform.IsChecked(kIdRungeKutta));
  EXPECT_FALSE(platform.IsChecked(kIdArrowPlot));
  EXPECT_FALSE(platform.IsChecked(kIdStreamlines));
  EXPECT_FALSE(platform.IsChecked(kIdFlow));
  EXPECT_FALSE(platform.IsChecked(kIdPressure));
  EXPECT_FALSE(platform.IsChecked(kIdVorticity));
  EXPECT_EQ(platform.ControlText(kIdGridSize), "-5");
  EXPECT_EQ(platform.ControlText(kIdFileName), "shown.gri");
  EXPECT_EQ(platform.ControlText(kIdDSep), "20");
}

TEST_F(SettingsExchangeTest, CommandsThatReadTheSettingsStopWhenTheReadingFails) {
  dialog.UseField(FlowToTheRight(), "right.gri");
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  dialog.OnVisualize();
  ASSERT_EQ(dialog.StoredArrows().size(), 256u);
  const std::vector<Colour> before(dialog.DrawingArea().Data(),
                                   dialog.DrawingArea().Data() + 512 * 512);
  const PixelPoint origin = platform.DrawingAreaOrigin();

  // d_test 0 is refused like the other ranges, so it never reaches a placement.
  platform.Type(kIdDTest, "0");
  platform.Type(kIdDeltaT, "20");
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdStreamlines);
  platform.controls[kIdEvenlySpaced].checked = true;
  platform.messages.clear();
  const int changes = platform.surfacesChanged;

  dialog.OnVisualize();
  dialog.OnLeftButtonDown(origin.x + 100, origin.y + 100);
  dialog.OnRightButtonDown(origin.x + 100, origin.y + 100);
  platform.enableCalls.clear();
  dialog.OnBackgroundClicked();
  dialog.OnEvenlySpacedClicked();
  platform.Type(kIdDSep, "30");
  platform.Type(kIdDTest, "0");
  dialog.OnSpin(kIdDTestSpin, +1);

  // Six readings, six messages, and nothing else happened.
  ASSERT_EQ(platform.messages.size(), 6u);
  for (const ShownMessage& m : platform.messages) {
    EXPECT_EQ(m.text, "Please enter an integer of at least 1.");
    EXPECT_EQ(m.caption, "d_test");
  }
  EXPECT_EQ(dialog.Dt(), VisualizerDialog::kStartDt);
  EXPECT_EQ(dialog.StoredArrows().size(), 256u);
  EXPECT_TRUE(dialog.StoredStreamlines().empty());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), dialog.DrawingArea().Data()));
  EXPECT_EQ(platform.surfacesChanged, changes);
  EXPECT_TRUE(platform.enableCalls.empty());
  EXPECT_EQ(platform.ControlText(kIdDTest), "0");
}

}  // namespace
}  // namespace vortana
