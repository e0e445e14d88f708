#include "app/sample_flows.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

namespace vortana {

// World coordinates: x from 0 to extentX to the right, y from 0 to extentY downward on the
// screen. Velocities are (u, v) = (dx/dt, dy/dt) and the vorticity is dv/dx - du/dy in these
// coordinates, so a flow of positive vorticity turns from +x towards +y: clockwise on the screen.
// Lengths are given in units of L = min(extentX, extentY), so that circles stay round whatever
// the extent, and speeds in units of U = 1.
namespace {

constexpr double kPi = std::numbers::pi;

// The static pressure far from every disturbance. Above 0 so that the largest pressure of each
// flow is positive: the field's maxima start at 0, and a flow whose pressures were all negative
// would squeeze its colour background into the upper part of the ramp.
constexpr double kAmbientPressure = 1.0;

// Evenly spaced placement starts its first streamline at the middle of the drawing area and ends
// at once when that seed has no velocity. So nothing at rest sits there: the Rankine vortex and
// the spiral sink are centred this far (in L, 8 pixels at 512) up and left of the middle, and the
// cylinder lies upstream of it, the middle falling in its wake.
constexpr double kVortexCentreOffset = 1.0 / 64.0;
constexpr double kCylinderUpstreamRadii = 1.5;

// Uniform flow: unit speed, 30 degrees below the x axis on the screen, so that the arrows and
// streamlines are neither horizontal nor on a pixel diagonal.
constexpr double kUniformAngleRad = kPi / 6.0;

// Rankine vortex: solid-body rotation inside the core, a potential vortex outside; the core
// radius is a quarter of L, and the angular velocity makes the peak speed (at the core radius) 1.
constexpr double kRankineCoreRadius = 0.25;
constexpr double kRankinePeakSpeed = 1.0;

// Double gyre: the two counter-rotating cells of psi = A sin(pi X) sin(pi Y) on [0,2] x [0,1],
// stretched onto the extent; A makes the fastest velocity component 1.
constexpr double kGyrePeakSpeed = 1.0;

// Potential flow past a cylinder: radius L/8, free stream 1 along +x. The surface speed runs from
// 0 at the stagnation points to 2 at the top and bottom.
constexpr double kCylinderRadius = 0.125;
constexpr double kCylinderStreamSpeed = 1.0;

// The time-dependent double gyre as it is usually forced: psi = A sin(pi f(X, t)) sin(pi Y) on
// [0,2] x [0,1] with f = a(t) X^2 + b(t) X, a = epsilon sin(omega t), b = 1 - 2 a, so that the
// line between the cells sways about X = 1 with period 2 pi / omega.
constexpr double kSwayingGyreAmplitude = 0.1;
constexpr double kSwayingGyreEpsilon = 0.25;
constexpr double kSwayingGyreOmega = 2.0 * std::numbers::pi / 10.0;

// Vortex street: two staggered rows of Lamb-Oseen vortices of opposite sign in a stream along +x,
// as in the wake behind a bluff body. The rows are further apart than the stable ratio 0.281 of
// row gap to spacing so that the two rows stay distinct at 128 nodes; four vortices per row span
// a square picture. The circulation gives a peak swirl speed of about 1.2, enough to close eddies
// around each core against the stream.
constexpr double kStreetStreamSpeed = 1.0;
constexpr double kStreetSpacing = 0.25;
constexpr double kStreetRowGap = 0.15;
constexpr double kStreetCoreRadius = 0.03;
constexpr double kStreetCirculation = 0.35;
// A wider domain spreads its vortices out rather than adding more, which bounds the work per node
// and keeps the vortex count an int whatever the ratio of the extents.
constexpr double kStreetMaxVorticesPerRow = 32.0;
// The first vortex of the row at smaller y sits this fraction of a spacing right of x = 0, and the
// other row is staggered by half a spacing, so that neither row starts on the left edge.
constexpr double kStreetPhase = 0.25;
// Vortices continue this many spacings beyond the domain on each side, so that the flow near the
// left and right edges looks like the middle of a longer street.
constexpr int kStreetExtraVortices = 2;
// In a series the street moves downstream one spacing in this many steps; the street repeats
// every spacing, so a series of that many steps loops without a jump.
constexpr int kStreetStepsPerSpacing = 20;
// Beyond this many squared core radii a Lamb-Oseen vortex is a potential vortex to double
// precision (exp(-50) ~ 2e-22), and its core terms are skipped.
constexpr double kCoreNegligibleR2 = 50.0;

// Spiral sink: a sink (volume flux 0.6) and a vortex (circulation 1.2) at the vortex centre, both
// smoothed over a Lamb-Oseen core of radius L/10. The ratio 1/2 of sink to circulation makes the
// streamlines spiral inward at about 27 degrees to the circles; the peak speed is about 1.4.
constexpr double kSinkFlux = 0.6;
constexpr double kSinkCirculation = 1.2;
constexpr double kSinkCoreRadius = 0.1;

struct FlowSample {
  double u = 0.0;
  double v = 0.0;
  double pressure = 0.0;
  double vorticity = 0.0;
};

using FlowFunction = std::function<FlowSample(double x, double y)>;

struct Domain {
  double extentX;
  double extentY;
  double Scale() const { return std::min(extentX, extentY); }
  double CentreX() const { return extentX / 2.0; }
  double CentreY() const { return extentY / 2.0; }
  double VortexCentreX() const { return CentreX() - kVortexCentreOffset * Scale(); }
  double VortexCentreY() const { return CentreY() - kVortexCentreOffset * Scale(); }
};

// (1 - exp(-r^2/rc^2)) / r^2: the factor that turns the potential vortex Gamma/(2 pi r) into the
// Lamb-Oseen vortex. It tends to 1/rc^2 at the centre, where the direct form is 0/0.
double CoreFactor(double r2, double rc2) {
  const double s = r2 / rc2;
  if (s < 1e-12) return (1.0 - s / 2.0) / rc2;
  return -std::expm1(-s) / r2;
}

// The integral of v_theta^2 / s from r to infinity for a Lamb-Oseen vortex of circulation gamma:
// what the centripetal balance dp/dr = v_theta^2 / r takes off the ambient pressure at radius r.
// With t = r^2/rc^2 it is gamma^2 / (8 pi^2 rc^2) * ((1 - e^-t)^2 / t + 2 (E1(t) - E1(2t))).
double SwirlPressureDeficit(double r2, double rc2, double gamma) {
  const double t = r2 / rc2;
  double bracket;
  if (t < 1e-6) {
    // Series at the centre, where E1 diverges: 2 ln 2 - t + O(t^2).
    bracket = 2.0 * std::numbers::ln2 - t;
  } else {
    const double e1t = -std::expint(-t);
    const double e12t = -std::expint(-2.0 * t);
    const double oneMinusExp = -std::expm1(-t);
    bracket = oneMinusExp * oneMinusExp / t + 2.0 * (e1t - e12t);
  }
  return gamma * gamma / (8.0 * kPi * kPi * rc2) * bracket;
}

struct LambOseenVortex {
  double x;
  double y;
  double circulation;
  double coreRadius;
};

void AddVelocityAndVorticity(const LambOseenVortex& vortex, double x, double y, FlowSample& s) {
  const double dx = x - vortex.x;
  const double dy = y - vortex.y;
  const double r2 = dx * dx + dy * dy;
  const double rc2 = vortex.coreRadius * vortex.coreRadius;
  const double swirl = vortex.circulation / (2.0 * kPi) * CoreFactor(r2, rc2);
  s.u += -dy * swirl;
  s.v += dx * swirl;
  s.vorticity += vortex.circulation / (kPi * rc2) * std::exp(-r2 / rc2);
}

// What one Lamb-Oseen vortex adds to a pressure that follows Bernoulli from the summed velocity.
// Outside its core a vortex is potential and Bernoulli holds as it is; inside, v_theta^2/2 minus
// the deficit turns the vortex's own Bernoulli pressure into its centripetal one, so that each
// core shows the low pressure of a real vortex instead of a stagnation peak.
double CorePressureCorrection(const LambOseenVortex& vortex, double x, double y) {
  const double dx = x - vortex.x;
  const double dy = y - vortex.y;
  const double r2 = dx * dx + dy * dy;
  const double rc2 = vortex.coreRadius * vortex.coreRadius;
  if (r2 > kCoreNegligibleR2 * rc2) return 0.0;
  const double swirlSpeed = vortex.circulation / (2.0 * kPi) * CoreFactor(r2, rc2) * std::sqrt(r2);
  return swirlSpeed * swirlSpeed / 2.0 - SwirlPressureDeficit(r2, rc2, vortex.circulation);
}

double SpeedSquared(const FlowSample& s) { return s.u * s.u + s.v * s.v; }

FlowFunction UniformFlow() {
  return [](double, double) {
    FlowSample s;
    s.u = std::cos(kUniformAngleRad);
    s.v = std::sin(kUniformAngleRad);
    s.pressure = kAmbientPressure;
    return s;
  };
}

FlowFunction RankineVortex(const Domain& d) {
  const double cx = d.VortexCentreX(), cy = d.VortexCentreY();
  const double a = kRankineCoreRadius * d.Scale();
  const double omega = kRankinePeakSpeed / a;
  return [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double r2 = dx * dx + dy * dy;
    FlowSample s;
    if (r2 <= a * a) {
      s.u = -omega * dy;
      s.v = omega * dx;
      s.vorticity = 2.0 * omega;
      // Centripetal balance in the core, matched to the outer value at r = a.
      s.pressure = kAmbientPressure - omega * omega * a * a + omega * omega * r2 / 2.0;
    } else {
      const double k = omega * a * a / r2;
      s.u = -k * dy;
      s.v = k * dx;
      s.pressure = kAmbientPressure - SpeedSquared(s) / 2.0;
    }
    return s;
  };
}

FlowFunction DoubleGyre(const Domain& d) {
  // psi = A sin(a x) sin(b y) with a = 2 pi / extentX, b = pi / extentY.
  const double a = 2.0 * kPi / d.extentX;
  const double b = kPi / d.extentY;
  const double amplitude = kGyrePeakSpeed / std::max(a, b);
  return [=](double x, double y) {
    const double sx = std::sin(a * x), cxv = std::cos(a * x);
    const double sy = std::sin(b * y), cyv = std::cos(b * y);
    FlowSample s;
    s.u = amplitude * b * sx * cyv;
    s.v = -amplitude * a * cxv * sy;
    s.vorticity = amplitude * (a * a + b * b) * sx * sy;
    // A steady Euler flow (vorticity proportional to psi); its pressure in closed form.
    s.pressure = kAmbientPressure -
                 amplitude * amplitude / 2.0 * (b * b * sx * sx + a * a * sy * sy);
    return s;
  };
}

FlowFunction SwayingDoubleGyre(const Domain& d, double t) {
  const double epsilonSin = kSwayingGyreEpsilon * std::sin(kSwayingGyreOmega * t);
  const double a = epsilonSin, b = 1.0 - 2.0 * epsilonSin;
  const double amplitude = kSwayingGyreAmplitude;
  // The published domain stretched onto the extent; velocities stretch with it.
  const double stretchX = d.extentX / 2.0, stretchY = d.extentY;
  return [=](double wx, double wy) {
    const double x = wx / stretchX, y = wy / stretchY;
    const double f = a * x * x + b * x;
    const double dfdx = 2.0 * a * x + b;
    const double sf = std::sin(kPi * f), cf = std::cos(kPi * f);
    const double sy = std::sin(kPi * y), cy = std::cos(kPi * y);
    FlowSample s;
    s.u = -kPi * amplitude * sf * cy * stretchX;
    s.v = kPi * amplitude * cf * sy * dfdx * stretchY;
    // dv/dx - du/dy in world units.
    const double dvdx = kPi * amplitude * sy * (-kPi * sf * dfdx * dfdx + cf * 2.0 * a) * stretchY /
                        stretchX;
    const double dudy = kPi * kPi * amplitude * sf * sy * stretchX / stretchY;
    s.vorticity = dvdx - dudy;
    // The unsteady flow has no pressure in closed form; Bernoulli's gives its picture.
    s.pressure = kAmbientPressure - SpeedSquared(s) / 2.0;
    return s;
  };
}

FlowFunction Cylinder(const Domain& d) {
  const double radius = kCylinderRadius * d.Scale();
  const double cx = d.CentreX() - kCylinderUpstreamRadii * radius, cy = d.CentreY();
  const double r2Surface = radius * radius;
  const double stream = kCylinderStreamSpeed;
  const double stagnationPressure = kAmbientPressure + stream * stream / 2.0;
  return [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double r2 = dx * dx + dy * dy;
    FlowSample s;
    s.pressure = stagnationPressure;
    if (r2 < r2Surface) return s;  // the body itself: at rest
    // Complex velocity u - i v = U (1 - R^2 / z^2) with z = dx + i dy.
    const double k = r2Surface / (r2 * r2);
    s.u = stream * (1.0 - k * (dx * dx - dy * dy));
    s.v = -stream * k * 2.0 * dx * dy;
    s.pressure = stagnationPressure - SpeedSquared(s) / 2.0;
    return s;
  };
}

FlowFunction VortexStreet(const Domain& d, int step) {
  const double scale = d.Scale();
  const double spacing = std::max(kStreetSpacing * scale, d.extentX / kStreetMaxVorticesPerRow);
  const double rowGap = kStreetRowGap * scale;
  const double core = kStreetCoreRadius * scale;
  const double circulation = kStreetCirculation * kStreetStreamSpeed * scale;
  // Vortices of the row at smaller y turn with positive vorticity, those of the other row with
  // negative, as the two shear layers of a wake in a stream along +x do.
  std::vector<LambOseenVortex> vortices;
  const int perRow = static_cast<int>(std::ceil(d.extentX / spacing));
  const double travelled = static_cast<double>(step % kStreetStepsPerSpacing) / kStreetStepsPerSpacing;
  for (int k = -kStreetExtraVortices; k <= perRow + kStreetExtraVortices; ++k) {
    const double x = (k + kStreetPhase + travelled) * spacing;
    vortices.push_back({x, d.CentreY() - rowGap / 2.0, circulation, core});
    vortices.push_back({x + spacing / 2.0, d.CentreY() + rowGap / 2.0, -circulation, core});
  }
  const double totalPressure = kAmbientPressure + kStreetStreamSpeed * kStreetStreamSpeed / 2.0;
  return [vortices = std::move(vortices), totalPressure](double x, double y) {
    FlowSample s;
    s.u = kStreetStreamSpeed;
    for (const LambOseenVortex& vortex : vortices) AddVelocityAndVorticity(vortex, x, y, s);
    s.pressure = totalPressure - SpeedSquared(s) / 2.0;
    for (const LambOseenVortex& vortex : vortices) s.pressure += CorePressureCorrection(vortex, x, y);
    return s;
  };
}

FlowFunction SpiralSink(const Domain& d) {
  const double scale = d.Scale();
  const LambOseenVortex swirl{d.VortexCentreX(), d.VortexCentreY(), kSinkCirculation * scale,
                              kSinkCoreRadius * scale};
  const double flux = kSinkFlux * scale;
  return [=](double x, double y) {
    FlowSample s;
    AddVelocityAndVorticity(swirl, x, y, s);
    // The sink has the same smoothed radial profile; being radial, it adds no vorticity.
    const double dx = x - swirl.x, dy = y - swirl.y;
    const double r2 = dx * dx + dy * dy;
    const double rc2 = swirl.coreRadius * swirl.coreRadius;
    const double inflow = flux / (2.0 * kPi) * CoreFactor(r2, rc2);
    const double radialU = -dx * inflow, radialV = -dy * inflow;
    s.u += radialU;
    s.v += radialV;
    // Steady radial balance: the inflow's own Bernoulli drop plus the swirl's centripetal one.
    // Outside the core that is Bernoulli for the whole velocity.
    s.pressure = kAmbientPressure - (radialU * radialU + radialV * radialV) / 2.0 -
                 SwirlPressureDeficit(r2, rc2, swirl.circulation);
    return s;
  };
}

// A single step keeps the steady flows that a sample has always held.
FlowFunction MakeFlowFunction(SampleFlow flow, const Domain& d, bool series, int step) {
  switch (flow) {
    case SampleFlow::Uniform: return UniformFlow();
    case SampleFlow::RankineVortex: return RankineVortex(d);
    case SampleFlow::DoubleGyre: return series ? SwayingDoubleGyre(d, step) : DoubleGyre(d);
    case SampleFlow::Cylinder: return Cylinder(d);
    case SampleFlow::VortexStreet: return VortexStreet(d, series ? step : 0);
    case SampleFlow::SpiralSink: return SpiralSink(d);
  }
  throw std::invalid_argument("unknown sample flow");
}

void CheckOptions(const SampleOptions& options) {
  const auto nodesInRange = [](int n) { return n >= kMinSampleNodes && n <= kMaxSampleNodes; };
  const auto extentValid = [](float e) { return std::isfinite(e) && e > 0.0f; };
  if (!nodesInRange(options.width) || !nodesInRange(options.height))
    throw std::invalid_argument("sample grid needs " + std::to_string(kMinSampleNodes) + " to " +
                                std::to_string(kMaxSampleNodes) + " nodes across and down");
  if (!extentValid(options.extentX) || !extentValid(options.extentY))
    throw std::invalid_argument("sample extent must be positive and finite");
  if (options.steps < 1 || options.steps > kMaxSampleSteps)
    throw std::invalid_argument("a sample has 1 to " + std::to_string(kMaxSampleSteps) + " steps");
}

}  // namespace

const std::vector<SampleFlow>& AllSampleFlows() {
  static const std::vector<SampleFlow> flows{SampleFlow::Uniform,  SampleFlow::RankineVortex,
                                             SampleFlow::DoubleGyre, SampleFlow::Cylinder,
                                             SampleFlow::VortexStreet, SampleFlow::SpiralSink};
  return flows;
}

std::string SampleFlowName(SampleFlow flow) {
  switch (flow) {
    case SampleFlow::Uniform: return "uniform";
    case SampleFlow::RankineVortex: return "rankine-vortex";
    case SampleFlow::DoubleGyre: return "double-gyre";
    case SampleFlow::Cylinder: return "cylinder";
    case SampleFlow::VortexStreet: return "vortex-street";
    case SampleFlow::SpiralSink: return "spiral-sink";
  }
  return {};
}

std::optional<SampleFlow> SampleFlowByName(const std::string& name) {
  for (SampleFlow flow : AllSampleFlows())
    if (SampleFlowName(flow) == name) return flow;
  return std::nullopt;
}

std::vector<GridPoint> MakeSampleNodes(SampleFlow flow, const SampleOptions& options, int step) {
  CheckOptions(options);
  if (step < 0 || step >= options.steps) throw std::invalid_argument("no such sample step");
  const Domain domain{options.extentX, options.extentY};
  const FlowFunction flowAt = MakeFlowFunction(flow, domain, options.steps > 1, step);
  const int width = options.width, height = options.height;

  std::vector<GridPoint> nodes;
  nodes.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    // i * extent / (n - 1) makes the last node land exactly on the extent.
    const float y = static_cast<float>(domain.extentY * row / (height - 1));
    for (int column = 0; column < width; ++column) {
      const float x = static_cast<float>(domain.extentX * column / (width - 1));
      // The flow is evaluated at the stored position, so a file's values belong to its nodes.
      const FlowSample s = flowAt(x, y);
      GridPoint node;
      node.position = Vec3(x, y, 0.0f);
      node.velocity = Vec3(static_cast<float>(s.u), static_cast<float>(s.v), 0.0f);
      node.scalar0 = static_cast<float>(s.pressure);
      node.scalar1 = static_cast<float>(s.vorticity);
      nodes.push_back(node);
    }
  }
  return nodes;
}

std::unique_ptr<FlowField> MakeSampleField(SampleFlow flow, const SampleOptions& options,
                                           int step) {
  return FlowField::FromNodes(options.width, options.height, 1, kSampleScalarCount,
                              MakeSampleNodes(flow, options, step));
}

}  // namespace vortana
