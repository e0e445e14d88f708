#pragma once

#include <vector>

#include "../data/flow_field.h"
#include "occupancy_grid.h"
#include "pixel_map.h"
#include "canvas.h"
#include "pixel_point.h"
#include "work_monitor.h"

namespace vortana {

/// A chain of distinct pixels in the order of the curve: the far end of the backward half
/// first, then the seed, then the forward half.
using Streamline = std::vector<PixelPoint>;

/// Integrator choice as the radio group gives it: 0 is Euler, any other value the two-stage
/// Runge-Kutta (Heun: the mean of the unit directions at P and at the trial point one step
/// ahead, P + V x dt).
inline constexpr int kIntegratorEuler = 0;
inline constexpr int kIntegratorRungeKutta = 1;

/// Tracing mode: 0 accepts any new pixel inside the area; 1 also asks the neighbourhood test.
inline constexpr int kTraceModePlain = 0;
inline constexpr int kTraceModeSpaced = 1;

/// Everything a trace reads from the dialog state.
struct TraceSettings {
  PixelMap map;
  int integrator = kIntegratorEuler;
  float dt = 0.0f;  // the length of a step, in world units or in pixels
  /// Steps in drawing-area pixels (pixel_steps.h): the trace walks in pixel coordinates, and dt,
  /// the trial point and the zero-step test measure pixels. Off: world units, as the older
  /// program stepped, which suits only fields whose world units are near a pixel.
  bool stepsInPixels = false;
  /// Polled for a stop and given the progress of placements; null for work nobody watches.
  WorkMonitor* monitor = nullptr;
};

/// Steps in a row that may land in the last accepted pixel before the current direction ends as
/// at a zero step. Near an attracting point unit steps can swing inside one pixel for ever;
/// honest traces cross a pixel in far fewer steps than this.
inline constexpr int kMaxStepsInOnePixel = 10000;

/// Steps one direction may take in all; the step that makes them this many is its last. Steps
/// far below a pixel pass kMaxStepsInOnePixel's test at every pixel and can still take minutes:
/// at 64 world units per pixel and Delta t 1 a step moves 1/6400 of a pixel, so a spiral of a
/// few hundred pixels takes millions of steps per direction. Where one world unit is one pixel
/// a step moves at least 0.01 pixel (Delta t 1), as it does on any field with steps in pixels,
/// and 2^20 steps carry a trace over 10,000 pixels, 20 widths of the drawing area; the longest direction in the golden pictures takes
/// 689,426 (a Runge-Kutta spiral round the Rankine vortex at Delta t 10). Runge-Kutta spirals
/// at a smaller Delta t (D10: the trial point one world unit ahead turns them too far) do reach
/// it and are cut there. At some 20 ns a step the bound holds a direction to about 20 ms and a
/// picture of 64 seeds to a few seconds.
inline constexpr long long kMaxStepsInOneDirection = 1LL << 20;

/// Why one direction of a trace ended.
enum class TraceEnd {
  ZeroStep,   // the step was no longer than 0.00001 (world units or pixels, as the steps are)
  LeftArea,   // the new point's pixel coordinates lie outside the drawing area (or are not finite)
  TooClose,   // mode 1: the new pixel failed the neighbourhood test
  Duplicate,  // the new pixel is already in the chain
  StepLimit,  // kMaxStepsInOnePixel steps in a row landed in the last accepted pixel
  TotalStepLimit,  // the direction took kMaxStepsInOneDirection steps in all
  Stopped,    // the settings' monitor asked the work to stop
};

/// How one direction went: why it ended and how many steps it took (the ending step included).
struct TracePass {
  TraceEnd end = TraceEnd::ZeroStep;
  long long steps = 0;
};

/// What a trace reports besides its chain; callers that only want the chain may ignore it.
struct TraceReport {
  TracePass forward;
  TracePass backward;
};

/// Traces `chain` from seed (px, py): forward, then backward from the seed. Whatever `chain`
/// held is replaced. In mode 1 every new pixel must pass occupancy->IsNeighbourhoodFree(pixel,
/// dTest); mode 1 without a grid tests nothing. The seed itself is never tested.
TraceReport TraceStreamline(const FlowField& field, const TraceSettings& settings, int px, int py,
                            Streamline& chain, int mode = kTraceModePlain,
                            const OccupancyGrid* occupancy = nullptr, int dTest = 0);

/// Sets every point of the streamline in `colour`, the whole chain as one shape.
void DrawStreamline(Canvas& canvas, const Streamline& streamline, Colour colour);

/// Seeds (a, a) along the diagonal, a = gridSize/2, gridSize/2 + gridSize, ...; keeps, draws
/// and appends to `stored` every streamline of more than 5 points. A grid size of 0 or less
/// gives no seeds.
void PlaceRegularStreamlines(const FlowField& field, const TraceSettings& settings, int gridSize,
                             Colour colour, Canvas& area, std::vector<Streamline>& stored);

/// Grows streamlines outward from the centre, seeds at d_sep beside streamlines already kept,
/// new pixels at least d_test clear of them (occupancy grid). The settings check refuses a
/// dTest below 1; should one arrive anyway it is taken as 1, since a test that examines nothing
/// would accept the same candidates again and again and never end.
void PlaceEvenlySpacedStreamlines(const FlowField& field, const TraceSettings& settings, int dSep,
                                  int dTest, OccupancyGrid& occupancy, Colour colour,
                                  Canvas& area, std::vector<Streamline>& stored);

}  // namespace vortana
