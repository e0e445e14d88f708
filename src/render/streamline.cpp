#include "streamline.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vortana {
namespace {

/// A step this short (world units, compared in double) counts as no motion: the flow is at rest.
constexpr double kZeroStepLength = 0.00001;

/// Which drawing-area pixels the chain of the running trace holds, so that the duplicate test
/// costs one look-up instead of a scan of the chain. Each pixel keeps the number of the trace
/// that last took it; starting a trace only advances that number, so nothing is cleared between
/// traces and the cost never grows with the length of a chain.
class ChainPixels {
 public:
  void Begin(int width, int height) {
    const size_t count = (width > 0 && height > 0)
                             ? static_cast<size_t>(width) * static_cast<size_t>(height)
                             : 0;
    if (width != width_ || count != stamps_.size()) {
      stamps_.assign(count, 0);
      width_ = width;
      height_ = height;
      trace_ = 0;
    }
    if (++trace_ == 0) {  // the counter wrapped: old stamps could pass for the new trace
      std::fill(stamps_.begin(), stamps_.end(), 0);
      trace_ = 1;
    }
  }
  bool InArea(PixelPoint p) const { return p.x >= 0 && p.x < width_ && p.y >= 0 && p.y < height_; }
  /// Only for pixels in the area.
  bool Contains(PixelPoint p) const { return stamps_[IndexOf(p)] == trace_; }
  void Add(PixelPoint p) { stamps_[IndexOf(p)] = trace_; }

 private:
  size_t IndexOf(PixelPoint p) const {
    return static_cast<size_t>(p.y) * static_cast<size_t>(width_) + static_cast<size_t>(p.x);
  }

  std::vector<uint32_t> stamps_;
  int width_ = 0;
  int height_ = 0;
  uint32_t trace_ = 0;
};

/// One per thread, reused by every trace on it.
thread_local ChainPixels chainPixels;

/// Euler: the unit direction of the flow at P.
Vec3 EulerDirection(Vec3 v) {
  v.Normalise();
  return v;
}

/// Heun's two-stage Runge-Kutta: the mean of the unit direction at P and the unit direction one
/// world unit further along it. The trial point lies on the forward side in both passes.
Vec3 HeunDirection(const FlowField& field, const Vec3& p, Vec3 v, FlowField::CellHint& hint) {
  v.Normalise();
  const Vec3 trial = p + v;
  Vec3 w = field.VelocityAt(trial.x, trial.y, hint);
  w.Normalise();
  v += w;
  v /= 2.0f;
  return v;
}

enum class Direction { Forward, Backward };

/// The state one trace shares between its two passes.
struct Tracer {
  const FlowField& field;
  const TraceSettings& settings;
  const OccupancyGrid* occupancy;  // null: no neighbourhood test
  int dTest;
  Vec3 seedWorld;
  PixelPoint lastAccepted;  // carried over the turn on purpose
  // Where the samples at P and at the trial points fell last: each sequence moves a fraction of
  // a cell per step, so its next cell is found at once.
  FlowField::CellHint pointCell;
  FlowField::CellHint trialCell;

  /// Walks from the seed in one direction, appending every accepted pixel to `accepted` in the
  /// order found.
  TracePass Run(Direction direction, std::vector<PixelPoint>& accepted) {
    const PixelMap& map = settings.map;
    TracePass pass;
    Vec3 p = seedWorld;
    Vec3 v = field.VelocityAt(p.x, p.y, pointCell);
    int stepsInPixel = 0;
    for (;;) {
      ++pass.steps;
      Vec3 step = settings.integrator == kIntegratorEuler ? EulerDirection(v)
                                                          : HeunDirection(field, p, v, trialCell);
      step *= settings.dt;
      if (step.Length() <= kZeroStepLength) {
        pass.end = TraceEnd::ZeroStep;
        return pass;
      }
      if (direction == Direction::Forward) {
        p += step;
      } else {
        p -= step;
      }

      const float fx = map.PixelXOfWorld(p.x);
      const float fy = map.PixelYOfWorld(p.y);
      if (!map.InsideFractional(fx, fy)) {
        pass.end = TraceEnd::LeftArea;
        return pass;
      }
      const PixelPoint pixel{static_cast<int32_t>(fx), static_cast<int32_t>(fy)};

      if (pixel == lastAccepted) {
        // Near an attracting point unit steps can swing inside one pixel for ever.
        if (++stepsInPixel >= kMaxStepsInOnePixel) {
          pass.end = TraceEnd::StepLimit;
          return pass;
        }
      } else {
        if (occupancy != nullptr && !occupancy->IsNeighbourhoodFree(pixel, dTest)) {
          pass.end = TraceEnd::TooClose;
          return pass;
        }
        if (chainPixels.Contains(pixel)) {
          pass.end = TraceEnd::Duplicate;
          return pass;
        }
        chainPixels.Add(pixel);
        accepted.push_back(pixel);
        lastAccepted = pixel;
        stepsInPixel = 0;
      }
      v = field.VelocityAt(p.x, p.y, pointCell);
    }
  }
};

}  // namespace

TraceReport TraceStreamline(const FlowField& field, const TraceSettings& settings, int px, int py,
                            Streamline& chain, int mode, const OccupancyGrid* occupancy,
                            int dTest) {
  const PixelMap& map = settings.map;
  Tracer tracer{field,
                settings,
                mode == kTraceModeSpaced ? occupancy : nullptr,
                dTest,
                Vec3(map.WorldXOfPixel(px), map.WorldYOfPixel(py), 0.0f),
                PixelPoint{px, py},
                {},
                {}};

  chainPixels.Begin(map.width, map.height);
  chain.clear();
  chain.push_back(tracer.lastAccepted);
  // The seed is taken untested; a seed outside the area can never be met again, since every
  // other pixel of the chain lies inside.
  if (chainPixels.InArea(tracer.lastAccepted)) chainPixels.Add(tracer.lastAccepted);

  TraceReport report;
  report.forward = tracer.Run(Direction::Forward, chain);
  std::vector<PixelPoint> backwardHalf;
  report.backward = tracer.Run(Direction::Backward, backwardHalf);
  // Each backward pixel goes in front of the ones before it: the far end comes first.
  chain.insert(chain.begin(), backwardHalf.rbegin(), backwardHalf.rend());
  return report;
}

void DrawStreamline(Surface& surface, const Streamline& streamline, Colour colour) {
  for (const PixelPoint& p : streamline) surface.SetPixel(p.x, p.y, colour);
}

}  // namespace vortana
