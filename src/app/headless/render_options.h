#pragma once

#include <string>
#include <vector>

#include "app/setting_table.h"
#include "app/settings.h"
#include "render/colour.h"
#include "render/pixel_point.h"

namespace vortana {

/// What one run of vortana-render does, as its command line says. The settings default to the
/// dialog's values after start-up; each setting of the table that has a command-line name can
/// be changed by its option.
struct RenderOptions {
  std::string dataset;  // a .gri or .00000.dat path, as given
  std::string output;   // PNG of the drawing area; empty: none
  std::string dump;     // JSON description; "-" standard output; empty: none
  Settings settings = StartupSettings();
  Colour lineColour = kBlue;
  std::vector<PixelPoint> probes;  // drawing-area pixels, clicked in this order
  // Whether the command line chose the drawing area's size or aspect, or its view or y axis: only
  // then does the description name them (or when the source brings a view of its own).
  bool areaChosen = false;
  bool viewChosen = false;
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
