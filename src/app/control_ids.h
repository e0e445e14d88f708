#pragma once

namespace vortana {

/// Control ids of the dialog, as the code addresses them.
enum ControlId : int {
  kIdFileName = 1001,
  kIdBrowse = 1002,
  kIdVisualize = 1005,
  kIdSizeText = 1008,
  kIdWidthText = 1009,
  kIdHeightText = 1010,
  kIdDepthText = 1011,
  kIdGridSize = 1012,
  kIdGridSizeSpin = 1013,
  kIdDeltaT = 1016,
  kIdDeltaTSpin = 1017,
  kIdDSep = 1018,
  kIdDSepSpin = 1019,
  kIdDTest = 1020,
  kIdDTestSpin = 1021,
  kIdArrowPlot = 1060,
  kIdStreamlines = 1061,
  kIdDrawingArea = 1063,
  kIdBackground = 1074,
  kIdLegend = 1075,
  kIdNormalized = 1076,
  kIdSwatch = 1077,
  kIdEuler = 1078,
  kIdRungeKutta = 1079,
  kIdEvenlySpaced = 1082,
  kIdFlow = 1083,
  kIdPressure = 1084,
  kIdVorticity = 1085,
  kIdDeltaTLabel = 1086,
  kIdDSepLabel = 1087,
  kIdDTestLabel = 1088,
};

/// Sizes of the three frames in pixels, whatever the dialog font.
inline constexpr int kDrawingWidth = 512;
inline constexpr int kDrawingHeight = 512;
inline constexpr int kLegendWidth = 512;
inline constexpr int kLegendHeight = 10;
inline constexpr int kLegendGap = 10;  // between the drawing area and the legend strip
inline constexpr int kSwatchSize = 15;

inline constexpr int kHoverTimerId = 1;
inline constexpr int kHoverTimerMs = 2000;

}  // namespace vortana
