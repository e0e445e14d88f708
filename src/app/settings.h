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
  // The drawing area and its world window; command line only apart from the window's defaults.
  int drawingSize = 512;  // pixels on the longer side; the window keeps 512
  int aspect = 0;         // Aspect
  int view = 0;           // View
  int yAxis = 0;          // YAxis
};

// The named values of the radio groups; each value is its button's index in the group.
enum class Integrator { Euler, RungeKutta };
enum class PlotType { Arrows, Streamlines };
enum class ColourBy { Flow, Pressure, Vorticity };
/// What a streamline step measures. Auto: world units for the grid/data file pair (the older
/// program's steps), drawing-area pixels for every other source (FlowField::FromFilePair).
enum class StepUnits { Auto, World, Pixels };
// ColourMap (render/colour_maps.h) names the values of colourMap the same way.
/// fill stretches the world window over a square area; equal keeps its proportions.
enum class Aspect { Fill, Equal };
/// The world window drawn: from world 0 to the maxima (the older program's), or the data's own
/// minima to maxima; auto is origin for the grid/data file pair and data for every other source.
enum class View { Auto, Origin, Data };
/// Which way world y runs on the screen; auto is down for the file pair and up for the others.
enum class YAxis { Auto, Down, Up };

template <typename Choice>
constexpr int RadioIndex(Choice choice) {
  return static_cast<int>(choice);
}

}  // namespace vortana
