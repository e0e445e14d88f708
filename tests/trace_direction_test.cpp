#include "render/trace_direction.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "support/flow_files.h"

namespace vortana {
namespace {

using testing::RectilinearNodes;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

/// Equal bits, or both not numbers: which NaN an addition passes on depends on the order the
/// compiler gives its operands, and nothing drawn or written can tell NaNs apart.
bool SameFloat(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

/// Floats of every magnitude float holds, both signs, and the values that are not ordinary.
float AnyFloat(std::mt19937& rng) {
  static const float special[] = {0.0f,  -0.0f, kInf, -kInf, kNaN, 1e-45f, -1e-45f,
                                  1e-38f, 3.4e38f, -3.4e38f, 1.0f, -1.0f};
  if (rng() % 8 == 0) return special[rng() % 12];
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-140, 127);
  const float f = std::ldexp(mantissa(rng), exponent(rng));
  return rng() % 2 ? f : -f;
}

TEST(TraceDirectionTest, Vec2NormaliseAndLengthAreVec3sWithZZero) {
  std::mt19937 rng(13579);
  for (int i = 0; i < 400000; ++i) {
    const float x = AnyFloat(rng);
    const float y = AnyFloat(rng);
    const float z = rng() % 2 ? 0.0f : -0.0f;
    const Vec3 general = EulerDirection(Vec3(x, y, z));
    const Vec2 planar = EulerDirection(Vec2(x, y));
    ASSERT_TRUE(SameFloat(planar.x, general.x)) << x << ", " << y;
    ASSERT_TRUE(SameFloat(planar.y, general.y)) << x << ", " << y;
    const double length = Vec3(x, y, z).Length();
    const double planarLength = Vec2(x, y).Length();
    ASSERT_TRUE(planarLength == length || (std::isnan(planarLength) && std::isnan(length)))
        << x << ", " << y;
  }
}

TEST(TraceDirectionTest, HeunOverThePlanarSamplerIsHeunOverTheFieldOnAPlanarField) {
  // Both the direction at P and the one at the trial point, one world unit on, with P and the
  // velocity anywhere, on planar fields of uneven cells; the trial points fall inside the
  // field, on its lines, and outside it.
  std::mt19937 rng(97531);
  int comparisons = 0;
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<float> xs = {0.0f};
    std::vector<float> ys = {0.0f};
    std::uniform_real_distribution<float> gap(0.05f, 2.0f);
    for (int i = 0; i < 12; ++i) xs.push_back(xs.back() + gap(rng));
    for (int i = 0; i < 9; ++i) ys.push_back(ys.back() + gap(rng));
    std::vector<GridPoint> nodes = RectilinearNodes(xs, ys);
    std::uniform_real_distribution<float> speed(-3.0f, 3.0f);
    for (GridPoint& node : nodes) node.velocity = {speed(rng), speed(rng), 0.0f};
    nodes[rng() % nodes.size()].velocity = {0.0f, 0.0f, 0.0f};
    const auto field = FlowField::FromNodes(13, 10, 1, 2, nodes);
    ASSERT_TRUE(field->IsPlanar());

    FieldSampler general(*field);
    PlanarSampler planar(*field);
    std::uniform_real_distribution<float> insideX(-0.5f, xs.back() + 0.5f);
    std::uniform_real_distribution<float> insideY(-0.5f, ys.back() + 0.5f);
    // dt from the smallest Delta t to steps longer than a cell.
    constexpr float kSteps[] = {0.01f, 0.099999994f, 0.2f, 3.0f};
    for (int i = 0; i < 500; ++i) {
      Vec3 p(insideX(rng), insideY(rng), 0.0f);
      if (i % 7 == 0) p.x = xs[rng() % xs.size()] - 0.5f;  // trial points near lines
      Vec3 v = field->VelocityAt(p.x, p.y);
      if (i % 11 == 0) v = Vec3(AnyFloat(rng), AnyFloat(rng), 0.0f);
      const float dt = kSteps[i % 4];
      const Vec3 full = HeunDirection(Vec2(p), v, dt, general);
      const Vec2 flat = HeunDirection(Vec2(p), Vec2(v), dt, planar);
      ASSERT_TRUE(SameFloat(flat.x, full.x)) << trial << ": " << p.x << ", " << p.y;
      ASSERT_TRUE(SameFloat(flat.y, full.y)) << trial << ": " << p.x << ", " << p.y;
      ++comparisons;
    }
  }
  EXPECT_EQ(comparisons, 100000);
}

}  // namespace
}  // namespace vortana
