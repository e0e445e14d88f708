#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "render/colour.h"
#include "render/pixel_point.h"

namespace vortana {

/// What one run of vortana-render does, as its command line says. Defaults are the dialog's
/// values after start-up.
struct RenderOptions {
  std::string dataset;  // a .gri or .00000.dat path, as given
  std::string output;   // PNG of the drawing area; empty: none
  std::string dump;     // JSON description; "-" standard output; empty: none
  int plotType = kPlotStreamlines;
  int gridSize = 32;
  bool normalized = false;
  int integrator = 0;             // 0 Euler, 1 Runge-Kutta
  std::optional<int> background;  // the colour-by index when Background is on
  int deltaT = 10;
  bool evenlySpaced = false;
  int dSep = 20;
  int dTest = 10;
  Colour lineColour = kBlue;
  std::vector<PixelPoint> probes;  // drawing-area pixels, clicked in this order
  bool repaint = false;
  bool legend = false;
  bool help = false;
};

/// Either the options, or what is wrong with the command line (naming the option and, for a
/// number, its range).
struct ParsedRenderOptions {
  RenderOptions options;
  std::string error;
};

ParsedRenderOptions ParseRenderOptions(const std::vector<std::string>& args);

/// The --help text.
std::string RenderUsage();

}  // namespace vortana
