#pragma once

#include <string>

#include "../render/colour_maps.h"

namespace vortana {

/// The values the user edits in the dialog's controls, in the order they are exchanged, and the
/// settings that only a command line sets. A dialog starts from ConstructionSettings() (see
/// setting_table.h), which is what a default-constructed Settings holds.
struct Settings {
  std::string sizeText;
  std::string widthText;
  std::string heightText;
  std::string depthText;
  std::string fileName;
  int gridSize = 0;
  int normalized = 0;   // check box
  int integrator = -1;  // radio index of Integrator, -1 no button checked
  int plotType = -1;    // radio index of PlotType, -1 no button checked
  int background = 0;   // check box
  int deltaT = 0;
  int colourBy = -1;     // radio index of ColourBy, -1 no button checked
  int evenlySpaced = 0;  // check box
  int dTest = 0;
  int dSep = 0;
  int colourMap = 0;  // ColourMap; command line only, the window keeps the legacy ramp
  int slice = 0;      // the slice sampled and drawn; command line only
  int stepUnits = 0;  // StepUnits; command line only
};

// The named values of the radio groups; each value is its button's index in the group.
enum class Integrator { Euler, RungeKutta };
enum class PlotType { Arrows, Streamlines };
enum class ColourBy { Flow, Pressure, Vorticity };
/// What a streamline step measures. Auto: world units for the grid/data file pair (the older
/// program's steps), drawing-area pixels for every other source (FlowField::FromFilePair).
enum class StepUnits { Auto, World, Pixels };
// ColourMap (render/colour_maps.h) names the values of colourMap the same way.

template <typename Choice>
constexpr int RadioIndex(Choice choice) {
  return static_cast<int>(choice);
}

}  // namespace vortana
