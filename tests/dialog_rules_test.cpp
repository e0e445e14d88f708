// Start-up, the enabling rules, the two spinner rules and the hover timer of the dialog.

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "app/visualizer_dialog.h"
#include "support/fake_platform.h"

namespace vortana {
namespace {

using testing::FakePlatform;

class DialogRulesTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog.OnInitDialog(); }

  // Types `start` into the spinner's field, presses its arrow, and returns what the field shows.
  std::string Spin(int spinId, int fieldId, const std::string& start, int delta) {
    platform.Type(fieldId, start);
    dialog.OnSpin(spinId, delta);
    return platform.ControlText(fieldId);
  }

  std::vector<std::pair<int, bool>> EnableCalls() const {
    std::vector<std::pair<int, bool>> calls;
    for (const auto& call : platform.enableCalls) calls.emplace_back(call.id, call.enabled);
    return calls;
  }

  FakePlatform platform;
  VisualizerDialog dialog{platform};
};

TEST_F(DialogRulesTest, StartUpGivesEveryControlAndSettingItsStartValue) {
  // The controls first showed the values at construction, then the spinners wrote theirs.
  std::vector<std::string> gridSizeTexts;
  std::vector<std::string> sizeTexts;
  for (const auto& call : platform.textCalls) {
    if (call.id == kIdGridSize) gridSizeTexts.push_back(call.text);
    if (call.id == kIdSizeText) sizeTexts.push_back(call.text);
  }
  EXPECT_EQ(gridSizeTexts, (std::vector<std::string>{"0", "32"}));
  EXPECT_EQ(sizeTexts, (std::vector<std::string>{""}));

  for (const int id : {kIdSizeText, kIdWidthText, kIdHeightText, kIdDepthText, kIdFileName}) {
    EXPECT_EQ(platform.ControlText(id), "") << id;
  }
  EXPECT_EQ(platform.ControlText(kIdGridSize), "32");
  EXPECT_EQ(platform.ControlText(kIdDeltaT), "10");
  EXPECT_EQ(platform.ControlText(kIdDSep), "20");
  EXPECT_EQ(platform.ControlText(kIdDTest), "10");

  for (const int id : {kIdStreamlines, kIdEuler, kIdFlow})
    EXPECT_TRUE(platform.IsChecked(id)) << id;
  for (const int id : {kIdArrowPlot, kIdRungeKutta, kIdPressure, kIdVorticity, kIdNormalized,
                       kIdBackground, kIdEvenlySpaced}) {
    EXPECT_FALSE(platform.IsChecked(id)) << id;
  }
  for (const int id :
       {kIdEuler, kIdRungeKutta, kIdEvenlySpaced, kIdDeltaTLabel, kIdDeltaT, kIdDeltaTSpin}) {
    EXPECT_TRUE(platform.IsControlEnabled(id)) << id;
  }
  for (const int id : {kIdNormalized, kIdFlow, kIdPressure, kIdVorticity, kIdDSepLabel, kIdDSep,
                       kIdDSepSpin, kIdDTestLabel, kIdDTest, kIdDTestSpin}) {
    EXPECT_FALSE(platform.IsControlEnabled(id)) << id;
  }

  const Settings& s = dialog.GetSettings();
  EXPECT_EQ(s.gridSize, 32);
  EXPECT_EQ(s.normalized, 0);
  EXPECT_EQ(s.integrator, 0);
  EXPECT_EQ(s.plotType, 1);
  EXPECT_EQ(s.background, 0);
  EXPECT_EQ(s.deltaT, 10);
  EXPECT_EQ(s.colourBy, 0);
  EXPECT_EQ(s.evenlySpaced, 0);
  EXPECT_EQ(s.dTest, 10);
  EXPECT_EQ(s.dSep, 20);

  EXPECT_EQ(dialog.LineColour(), 0x00FF0000u);
  // Ramp by its rule: red climbs 1, 3, ... 255 at index 127, then blue falls 2 a step to 0.
  EXPECT_EQ(dialog.Ramp()[0], 0x00FF0001u);
  EXPECT_EQ(dialog.Ramp()[127], 0x00FF00FFu);
  EXPECT_EQ(dialog.Ramp()[128], 0x00FD00FFu);
  EXPECT_EQ(dialog.Ramp()[255], 0x000000FFu);
  EXPECT_EQ(dialog.Dt(), 0.099999994f);
  EXPECT_EQ(dialog.Field(), nullptr);
  EXPECT_FALSE(dialog.TimerRunning());
  EXPECT_FALSE(dialog.BackgroundValid());
  EXPECT_TRUE(dialog.BackgroundBuffer().empty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogRulesTest, EnablingRulesSwitchTheirControlsInTheListedOrder) {
  using Calls = std::vector<std::pair<int, bool>>;
  platform.enableCalls.clear();
  dialog.OnArrowPlotClicked();
  EXPECT_EQ(EnableCalls(), (Calls{{1076, true},
                                  {1078, false},
                                  {1079, false},
                                  {1082, false},
                                  {1086, false},
                                  {1016, false},
                                  {1017, false}}));

  platform.enableCalls.clear();
  dialog.OnStreamlinesClicked();
  EXPECT_EQ(EnableCalls(), (Calls{{1078, true},
                                  {1079, true},
                                  {1082, true},
                                  {1086, true},
                                  {1016, true},
                                  {1017, true},
                                  {1076, false}}));

  platform.enableCalls.clear();
  platform.controls[kIdBackground].checked = true;
  dialog.OnBackgroundClicked();
  EXPECT_EQ(EnableCalls(), (Calls{{1083, true}, {1084, true}, {1085, true}}));
  platform.enableCalls.clear();
  platform.controls[kIdBackground].checked = false;
  dialog.OnBackgroundClicked();
  EXPECT_EQ(EnableCalls(), (Calls{{1083, false}, {1084, false}, {1085, false}}));

  platform.enableCalls.clear();
  platform.controls[kIdEvenlySpaced].checked = true;
  dialog.OnEvenlySpacedClicked();
  EXPECT_EQ(
      EnableCalls(),
      (Calls{{1087, true}, {1018, true}, {1019, true}, {1088, true}, {1020, true}, {1021, true}}));
  EXPECT_EQ(dialog.GetSettings().evenlySpaced, 1);
}

TEST_F(DialogRulesTest, ArrowPlotLeavesTheSpacingControlsAsEvenlySpacedLeftThem) {
  platform.controls[kIdEvenlySpaced].checked = true;
  dialog.OnEvenlySpacedClicked();
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  dialog.OnArrowPlotClicked();
  EXPECT_TRUE(platform.IsChecked(kIdEvenlySpaced));
  EXPECT_FALSE(platform.IsControlEnabled(kIdEvenlySpaced));
  const int spacing[] = {kIdDSepLabel, kIdDSep, kIdDSepSpin, kIdDTestLabel, kIdDTest, kIdDTestSpin};
  for (const int id : spacing) EXPECT_TRUE(platform.IsControlEnabled(id)) << id;

  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdStreamlines);
  dialog.OnStreamlinesClicked();
  EXPECT_TRUE(platform.IsControlEnabled(kIdEvenlySpaced));
  for (const int id : spacing) EXPECT_TRUE(platform.IsControlEnabled(id)) << id;
}

TEST_F(DialogRulesTest, ColourByClickOnlyMakesTheStoredBackgroundStale) {
  std::vector<GridPoint> nodes(4);
  nodes[1].position = {1, 0, 0};
  nodes[2].position = {0, 1, 0};
  nodes[3].position = {1, 1, 0};
  nodes[3].velocity = {1, 0, 0};
  dialog.UseField(FlowField::FromNodes(2, 2, 1, 2, nodes), "corner.gri");
  platform.controls[kIdBackground].checked = true;
  platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  dialog.OnVisualize();
  ASSERT_TRUE(dialog.BackgroundValid());
  const size_t arrows = dialog.StoredArrows().size();
  const int changes = platform.surfacesChanged;

  // Toggling Background does not make the stored colours stale.
  platform.controls[kIdBackground].checked = false;
  dialog.OnBackgroundClicked();
  EXPECT_TRUE(dialog.BackgroundValid());

  platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, kIdPressure);
  dialog.OnColourByClicked();
  EXPECT_FALSE(dialog.BackgroundValid());
  EXPECT_EQ(dialog.GetSettings().colourBy, 0);  // changes at the next reading only
  EXPECT_EQ(dialog.StoredArrows().size(), arrows);
  EXPECT_EQ(platform.surfacesChanged, changes);
  EXPECT_TRUE(platform.messages.empty());

  // With no data loaded it is the same: only the flag.
  FakePlatform bare;
  VisualizerDialog empty(bare);
  empty.OnInitDialog();
  empty.OnColourByClicked();
  EXPECT_FALSE(empty.BackgroundValid());
  EXPECT_TRUE(bare.messages.empty());
}

TEST_F(DialogRulesTest, GridSizeSpinnerDoublesAndHalvesAndWraps) {
  for (const auto& [from, to] : std::vector<std::pair<const char*, const char*>>{
           {"8", "16"}, {"16", "32"}, {"32", "64"}, {"64", "128"}, {"128", "8"}}) {
    EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, from, +1), to) << "up from " << from;
  }
  for (const auto& [from, to] : std::vector<std::pair<const char*, const char*>>{
           {"128", "64"}, {"64", "32"}, {"32", "16"}, {"16", "8"}, {"8", "128"}}) {
    EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, from, -1), to) << "down from " << from;
  }
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, "100", +1), "128");  // 200, held by the range
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, "33", -1), "17");    // 33 - 16
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, "9", -1), "8");      // 9 - 4 = 5, held
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, " 16 ", +1), "32");

  // A field without a number leaves the spinner at its last position.
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, "64", +1), "128");
  EXPECT_EQ(Spin(kIdGridSizeSpin, kIdGridSize, "lots", -1), "64");
  EXPECT_EQ(dialog.SpinnerPosition(kIdGridSizeSpin), 64);
  // The spinner moves the field only; the setting follows at the next reading.
  EXPECT_EQ(dialog.GetSettings().gridSize, 32);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogRulesTest, PlainSpinnersStepByOneWithinTheirRanges) {
  EXPECT_EQ(Spin(kIdDeltaTSpin, kIdDeltaT, "10", +1), "11");
  EXPECT_EQ(Spin(kIdDeltaTSpin, kIdDeltaT, "20", +1), "20");
  EXPECT_EQ(Spin(kIdDeltaTSpin, kIdDeltaT, "1", -1), "1");
  EXPECT_EQ(Spin(kIdDeltaTSpin, kIdDeltaT, "35", -1), "20");
  EXPECT_EQ(Spin(kIdDSepSpin, kIdDSep, "50", +1), "50");
  EXPECT_EQ(Spin(kIdDSepSpin, kIdDSep, "10", -1), "10");
  EXPECT_EQ(Spin(kIdDSepSpin, kIdDSep, "20", -1), "19");
  EXPECT_EQ(Spin(kIdDSepSpin, kIdDSep, "", +1), "20");  // last position 19, plus one
}

TEST_F(DialogRulesTest, DTestSpinnerStaysBelowDSep) {
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "18", +1), "19");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "19", +1), "19");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "19", -1), "18");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "5", -1), "5");

  // The rule reads the settings, so a d_sep typed just now counts.
  platform.Type(kIdDSep, "50");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "24", +1), "25");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "25", +1), "25");
  EXPECT_EQ(dialog.GetSettings().dSep, 50);

  platform.Type(kIdDSep, "12");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "10", +1), "11");
  EXPECT_EQ(Spin(kIdDTestSpin, kIdDTest, "11", +1), "11");
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogRulesTest, HoverTimerRunsWhileThePointerMovesOverTheDrawingArea) {
  const PixelPoint area = platform.layout.drawingArea;
  const PixelPoint swatch = platform.layout.swatch;
  dialog.OnMouseMove(area.x + 10, area.y + 10);
  dialog.OnMouseMove(area.x + 511, area.y + 511);
  EXPECT_TRUE(dialog.TimerRunning());
  dialog.OnMouseMove(swatch.x, swatch.y);
  EXPECT_FALSE(dialog.TimerRunning());
  dialog.OnMouseMove(area.x + 512, area.y);
  dialog.OnTimer(kHoverTimerId);

  ASSERT_EQ(platform.timerCalls.size(), 3u);
  EXPECT_TRUE(platform.timerCalls[0].start);
  EXPECT_EQ(platform.timerCalls[0].id, 1);
  EXPECT_EQ(platform.timerCalls[0].periodMs, 2000);
  EXPECT_TRUE(platform.timerCalls[1].start);
  EXPECT_FALSE(platform.timerCalls[2].start);
  EXPECT_EQ(platform.timerCalls[2].id, 1);
  EXPECT_EQ(platform.surfacesChanged, 0);
}

}  // namespace
}  // namespace vortana
