#include "data/vec3.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace vortana {
namespace {

TEST(Vec3Test, StartsAtZeroAndChainsInPlaceOperations) {
  Vec3 v;
  EXPECT_EQ(v, Vec3(0, 0, 0));
  Vec3 w(1, 2, 3);
  Vec3& same = ((w += Vec3(1, 1, 1)) -= Vec3(0, 1, 2)) *= 2.0f;
  EXPECT_EQ(&same, &w);
  EXPECT_EQ(w, Vec3(4, 4, 4));
  EXPECT_EQ(&(w /= 4.0f), &w);
  EXPECT_EQ(w, Vec3(1, 1, 1));
}

TEST(Vec3Test, DivisionIsATrueDivision) {
  // 0.3f / 3 rounds to 0.1f (0x3DCCCCCD); 0.3f * (1 / 3.0f) would give the next float up.
  Vec3 v(0.3f, -0.3f, 0.3f);
  v /= 3.0f;
  EXPECT_EQ(std::bit_cast<uint32_t>(v.x), 0x3DCCCCCDu);
  EXPECT_EQ(std::bit_cast<uint32_t>(v.y), 0xBDCCCCCDu);
  EXPECT_NE(std::bit_cast<uint32_t>(0.3f * (1.0f / 3.0f)), 0x3DCCCCCDu);
}

TEST(Vec3Test, LengthAddsYAndZSquaresFirst) {
  EXPECT_EQ(Vec3(3, 4, 0).Length(), 5.0);
  EXPECT_EQ(Vec3(0, 3, 4).Length(), 5.0);
  // y^2 = z^2 = 9 * 2^-56. Together they add 1.125 units of the last place to x^2 = 1 and round
  // to 1 + 2^-52, whose root rounds to 1. Added one at a time to 1, each rounds up and the sum
  // reaches 1 + 2^-51, whose root would be 1 + 2^-52.
  const float small = std::ldexp(3.0f, -28);
  EXPECT_EQ(Vec3(1.0f, small, small).Length(), 1.0);
  EXPECT_EQ(Vec3(-3, 0, -4).Length(), 5.0);
}

TEST(Vec3Test, NormaliseDividesByTheUnroundedLength) {
  Vec3 zero;
  zero.Normalise();
  EXPECT_EQ(zero, Vec3(0, 0, 0));
  Vec3 negativeZero(-0.0f, 0.0f, -0.0f);
  negativeZero.Normalise();
  EXPECT_TRUE(std::signbit(negativeZero.x));
  EXPECT_TRUE(std::signbit(negativeZero.z));

  Vec3 v(3, 0, 4);
  v.Normalise();
  EXPECT_EQ(v, Vec3(0.6f, 0.0f, 0.8f));
  // 1 / sqrt(6) = 0.40824829046386302 rounds to 0.4082483f; divided by sqrt(6) rounded to a
  // float first, it would round to the float below.
  Vec3 w(1, 1, 2);
  w.Normalise();
  EXPECT_EQ(w.x, 0.4082483f);
  EXPECT_EQ(w.y, w.x);
  EXPECT_EQ(w.z, 2 * w.x);
}

}  // namespace
}  // namespace vortana
