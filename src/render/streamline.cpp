#include "streamline.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel_steps.h"
#include "trace_direction.h"

namespace vortana {
namespace {

/// A step this short (in the units of the steps, compared in double) counts as no motion: the
/// flow is at rest.
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

  // Two bytes a pixel keep the stamps of a 512 x 512 area within half a megabyte, near the
  // processor; the counter then wraps every 65535 traces, which costs one clearing.
  std::vector<uint16_t> stamps_;
  int width_ = 0;
  int height_ = 0;
  uint16_t trace_ = 0;
};

/// One per thread, reused by every trace on it.
thread_local ChainPixels chainPixels;

enum class Direction { Forward, Backward };

/// The state one trace shares between its two passes, over a sampler of the field
/// (data/path_samplers.h): PlanarSampler on a planar field, whose samples leave z out (z is
/// zero there whatever the point, and x and y come out as they would with it), FieldSampler on
/// any other. With kInPixels the sampler is a PixelSampler over one of them, and P, every step
/// and the trial point are in drawing-area pixels instead of world units.
template <typename Sampler, bool kInPixels>
struct Tracer {
  using Velocity = typename Sampler::Velocity;

  const TraceSettings& settings;
  const OccupancyGrid* occupancy;  // null: no neighbourhood test
  int dTest;
  Vec2 seed;
  PixelPoint lastAccepted;  // carried over the turn on purpose
  // One for the samples at P and one for those at the trial points: each sequence moves a
  // fraction of a cell per step, so its next cell is found at once.
  Sampler pointSampler;
  Sampler trialSampler;

  /// Walks from the seed in one direction, appending every accepted pixel to `accepted` in the
  /// order found.
  TracePass Run(Direction direction, std::vector<PixelPoint>& accepted) {
    const PixelMap& map = settings.map;
    TracePass pass;
    // Only x and y of P are ever read: the field is sampled in slice 0.
    Vec2 p = seed;
    Velocity v = pointSampler.At(p.x, p.y);
    int stepsInPixel = 0;
    for (;;) {
      ++pass.steps;
      Velocity step = settings.integrator == kIntegratorEuler
                          ? EulerDirection(v)
                          : HeunDirection(p, v, settings.dt, trialSampler);
      step *= settings.dt;
      if (step.Length() <= kZeroStepLength) {
        pass.end = TraceEnd::ZeroStep;
        return pass;
      }
      if (direction == Direction::Forward) {
        p.x += step.x;
        p.y += step.y;
      } else {
        p.x -= step.x;
        p.y -= step.y;
      }

      float fx = p.x;
      float fy = p.y;
      if constexpr (!kInPixels) {
        fx = map.PixelXOfWorld(p.x);
        fy = map.PixelYOfWorld(p.y);
      }
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
      // Steps far below a pixel can cross pixel after pixel for hours.
      if (pass.steps >= kMaxStepsInOneDirection) {
        pass.end = TraceEnd::TotalStepLimit;
        return pass;
      }
      if (pass.steps % WorkMonitor::kStepsBetweenPolls == 0 && StopRequested(settings.monitor)) {
        pass.end = TraceEnd::Stopped;
        return pass;
      }
      v = pointSampler.At(p.x, p.y);
    }
  }
};

template <typename Sampler, bool kInPixels>
TraceReport TraceWith(const FlowField& field, const TraceSettings& settings, int px, int py,
                      Streamline& chain, const OccupancyGrid* occupancy, int dTest) {
  const PixelMap& map = settings.map;
  const auto makeSampler = [&] {
    if constexpr (kInPixels) {
      return PixelSampler<Sampler>(field, map);
    } else {
      return Sampler(field);
    }
  };
  const Vec2 seed = kInPixels ? Vec2(static_cast<float>(px), static_cast<float>(py))
                              : Vec2(map.WorldXOfPixel(px), map.WorldYOfPixel(py));
  Tracer<decltype(makeSampler()), kInPixels> tracer{
      settings, occupancy, dTest, seed, PixelPoint{px, py}, makeSampler(), makeSampler()};

  chainPixels.Begin(map.width, map.height);
  chain.clear();
  chain.push_back(tracer.lastAccepted);
  // The seed is taken untested; a seed outside the area can never be met again, since every
  // other pixel of the chain lies inside.
  if (chainPixels.InArea(tracer.lastAccepted)) chainPixels.Add(tracer.lastAccepted);

  TraceReport report;
  report.forward = tracer.Run(Direction::Forward, chain);
  if (report.forward.end == TraceEnd::Stopped) return report;
  std::vector<PixelPoint> backwardHalf;
  report.backward = tracer.Run(Direction::Backward, backwardHalf);
  // Each backward pixel goes in front of the ones before it: the far end comes first.
  chain.insert(chain.begin(), backwardHalf.rbegin(), backwardHalf.rend());
  return report;
}

template <typename Sampler>
TraceReport TraceIn(const FlowField& field, const TraceSettings& settings, int px, int py,
                    Streamline& chain, const OccupancyGrid* occupancy, int dTest) {
  return settings.stepsInPixels
             ? TraceWith<Sampler, true>(field, settings, px, py, chain, occupancy, dTest)
             : TraceWith<Sampler, false>(field, settings, px, py, chain, occupancy, dTest);
}

}  // namespace

TraceReport TraceStreamline(const FlowField& field, const TraceSettings& settings, int px, int py,
                            Streamline& chain, int mode, const OccupancyGrid* occupancy,
                            int dTest) {
  if (mode != kTraceModeSpaced) occupancy = nullptr;
  return field.IsPlanar()
             ? TraceIn<PlanarSampler>(field, settings, px, py, chain, occupancy, dTest)
             : TraceIn<FieldSampler>(field, settings, px, py, chain, occupancy, dTest);
}

void DrawStreamline(Canvas& canvas, const Streamline& streamline, Colour colour) {
  canvas.PixelChain(streamline, colour);
}

}  // namespace vortana
