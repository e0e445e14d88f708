#pragma once

#include <string>

namespace vortana {

/// The values the user edits in the dialog's controls, in the order they are exchanged.
/// Initialisers are the values at construction; start-up gives the ones the user first sees.
struct Settings {
  std::string sizeText;
  std::string widthText;
  std::string heightText;
  std::string depthText;
  std::string fileName;
  int gridSize = 0;      // 8..128
  int normalized = 0;    // check box
  int integrator = -1;   // radio index: 0 Euler, 1 Runge-Kutta, -1 none
  int plotType = -1;     // radio index: 0 Arrow Plot, 1 Streamlines, -1 none
  int background = 0;    // check box
  int deltaT = 0;        // 1..20
  int colourBy = -1;     // radio index: 0 Flow, 1 Pressure, 2 Vorticity, -1 none
  int evenlySpaced = 0;  // check box
  int dTest = 0;         // at least 1
  int dSep = 0;          // 10..50
};

inline constexpr int kPlotArrows = 0;
inline constexpr int kPlotStreamlines = 1;

}  // namespace vortana
