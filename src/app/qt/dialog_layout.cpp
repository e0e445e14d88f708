#include "dialog_layout.h"

#include <QApplication>
#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>

#include "../control_ids.h"

namespace vortana {
namespace {

using K = ControlKind;
constexpr bool G = true;   // starts a group
constexpr bool T = true;   // tab stop
constexpr bool N = false;  // neither

constexpr std::array<ControlEntry, 45> kControls{{
    {kIdVisualize, K::DefaultButton, "&Visualize", 455, 325, 50, 14, N, T},
    {-1, K::Label, "Filename:", 363, 17, 31, 8, G, N},
    {-1, K::Label, "Size:", 361, 41, 16, 8, G, N},
    {-1, K::Label, "Width:", 437, 41, 22, 8, G, N},
    {-1, K::Label, "Height:", 361, 55, 24, 8, G, N},
    {-1, K::Label, "Depth:", 437, 55, 22, 8, G, N},
    {kIdFileName, K::Edit, "", 403, 17, 90, 14, N, T},
    {kIdSizeText, K::Label, "", 387, 41, 42, 8, G, N},
    {kIdWidthText, K::Label, "", 461, 41, 40, 8, G, N},
    {kIdHeightText, K::Label, "", 387, 55, 40, 8, G, N},
    {kIdDepthText, K::Label, "", 461, 55, 40, 8, G, N},
    {kIdBrowse, K::PushButton, "...", 493, 17, 11, 14, N, T},
    {kIdDrawingArea, K::Frame, "", 3, 2, 192, 199, N, N},
    {-1, K::GroupBox, "File Properties", 352, 2, 155, 69, N, N},
    {-1, K::GroupBox, "Visualization Options", 352, 77, 155, 240, N, N},
    {kIdArrowPlot, K::RadioButton, "&Arrow Plot", 360, 90, 48, 10, G, T},
    {kIdStreamlines, K::RadioButton, "&Streamlines", 360, 125, 52, 10, N, T},
    {kIdGridSize, K::Edit, "", 390, 295, 30, 14, N, T},
    {kIdGridSizeSpin, K::Spinner, "", 420, 295, 11, 14, N, N},
    {-1, K::Label, "Gridsize:", 360, 297, 28, 8, G, N},
    {kIdBackground, K::CheckBox, "&Background", 360, 227, 55, 10, N, T},
    {kIdLegend, K::Frame, "", 3, 201, 192, 11, N, N},
    {kIdNormalized, K::CheckBox, "&Normalized Vectors", 370, 105, 77, 10, N, T},
    {kIdSwatch, K::Frame, "", 390, 280, 8, 8, N, N},
    {-1, K::Label, "Color", 360, 280, 17, 8, G, N},
    {kIdEuler, K::RadioButton, "E&uler", 370, 140, 32, 10, G, N},
    {kIdRungeKutta, K::RadioButton, "&Runge-Kutta", 430, 140, 56, 10, N, N},
    {-1, K::Label, "low", 5, 335, 12, 8, G, N},
    {-1, K::Label, "high", 330, 335, 14, 8, G, N},
    {kIdDeltaTLabel, K::Label, "Delta t:", 369, 205, 24, 8, G, N},
    {kIdDeltaT, K::Edit, "", 399, 202, 30, 14, N, T},
    {kIdDeltaTSpin, K::Spinner, "", 429, 202, 11, 14, N, N},
    {kIdEvenlySpaced, K::CheckBox, "Evenly Spaced", 370, 155, 64, 10, N, T},
    {kIdFlow, K::RadioButton, "Flow", 370, 242, 31, 10, G, N},
    {kIdPressure, K::RadioButton, "Pressure", 435, 242, 43, 10, N, N},
    {kIdVorticity, K::RadioButton, "Vorticity", 370, 257, 41, 10, N, N},
    {1090, K::SunkenPanel, "", 355, 223, 149, 50, N, N},
    {1091, K::SunkenPanel, "", 355, 276, 150, 38, N, N},
    {kIdDSepLabel, K::Label, "d_sep:", 377, 170, 22, 8, G, N},
    {kIdDSep, K::Edit, "", 407, 167, 30, 14, N, T},
    {kIdDSepSpin, K::Spinner, "", 437, 167, 11, 14, N, N},
    {kIdDTestLabel, K::Label, "d_test:", 377, 186, 22, 8, G, N},
    {kIdDTest, K::Edit, "", 407, 183, 30, 14, N, T},
    {kIdDTestSpin, K::Spinner, "", 437, 183, 11, 14, N, N},
    {-1, K::SunkenPanel, "", 356, 86, 149, 133, G, N},
}};

constexpr const char* kAverageWidthSample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr double kDialogFontPoints = 8.0;

int AverageCharWidth(const QFont& font) {
  const int sampleWidth =
      QFontMetrics(font).horizontalAdvance(QString::fromLatin1(kAverageWidthSample));
  return static_cast<int>(std::lround(sampleWidth / 52.0));
}

}  // namespace

std::span<const ControlEntry> DialogControls() { return kControls; }

std::vector<std::vector<int>> RadioGroups() {
  std::vector<std::vector<int>> groups;
  bool groupHasRadio = false;
  for (const ControlEntry& c : kControls) {
    if (c.groupStart) groupHasRadio = false;
    if (c.kind != ControlKind::RadioButton) continue;
    if (!groupHasRadio) groups.emplace_back();
    groups.back().push_back(c.id);
    groupHasRadio = true;
  }
  return groups;
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSizeF(kDialogFontPoints);
  for (const int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
    if (AverageCharWidth(font) <= kMinimumUnits.avgCharWidth) break;
    font.setStretch(stretch);
  }
  return font;
}

DialogUnits DialogUnitsFor(const QFont& font) {
  return {std::max(AverageCharWidth(font), kMinimumUnits.avgCharWidth),
          std::max(QFontMetrics(font).height(), kMinimumUnits.charHeight)};
}

}  // namespace vortana
