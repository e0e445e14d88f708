#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/setting_table.h"
#include "app/settings.h"
#include "frame_range.h"
#include "render/colour.h"
#include "render/pixel_point.h"
#include "render/world_window.h"

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
  double lineWidth = 1.0;  // kMinLineWidth..kMaxLineWidth
  bool colourBar = false;
  bool axes = false;
  bool arrowheads = false;
  bool help = false;
  // Time steps: one step, or a series of frames (-o and --dump then name each by its {step}),
  // optionally also written as one animation.
  std::optional<int> step;
  std::optional<FrameRange> frames;
  std::string animation;  // lossless animated WebP of the frames; empty: none
  int fps = 10;
  int jobs = 0;  // frames drawn at once; 0: one per core
  // The background's value range instead of the step's own statistics (speed for Flow).
  std::optional<std::pair<float, float>> colourRange;
  bool sliceGiven = false;
  // The world rectangle drawn instead of the view's window; nullopt: the view's.
  std::optional<WorldWindow> window;  // --slice was given, so that the description names the slice
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
