// The named colour maps against their published tables. The floats are typed from the sources
// that colour_maps.cpp cites (matplotlib's _cm_listed.py for viridis, cividis and magma;
// Moreland's paper for coolwarm, its table as matplotlib's _cm.py lists it) and turned into
// 8-bit levels here as round(255 * v).

#include "render/colour_maps.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vortana {
namespace {

struct Published {
  double red, green, blue;
};

Colour Levels(Published p) {
  const auto level = [](double v) { return static_cast<int>(std::lround(255 * v)); };
  return MakeColour(level(p.red), level(p.green), level(p.blue));
}

TEST(ColourMaps, ListedMapsHoldThePublishedEntries) {
  struct Case {
    ColourMap map;
    Published first, middle, last;  // entries 0, 128 and 255
  };
  const Case cases[] = {
      {ColourMap::Viridis,
       {0.267004, 0.004874, 0.329415},
       {0.127568, 0.566949, 0.550556},
       {0.993248, 0.906157, 0.143936}},
      {ColourMap::Cividis,
       {0.000000, 0.135112, 0.304751},
       {0.488697, 0.485318, 0.471008},
       {0.995737, 0.909344, 0.217772}},
      {ColourMap::Magma,
       {0.001462, 0.000466, 0.013866},
       {0.716387, 0.214982, 0.475290},
       {0.987053, 0.991438, 0.749504}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.map));
    const ColourRamp ramp = BuildColourMap(c.map);
    EXPECT_EQ(ramp[0], Levels(c.first));
    EXPECT_EQ(ramp[128], Levels(c.middle));
    EXPECT_EQ(ramp[255], Levels(c.last));
  }
  // The rounding by hand for one entry: viridis 128 is 32.53, 144.57, 140.39.
  EXPECT_EQ(BuildColourMap(ColourMap::Viridis)[128], MakeColour(33, 145, 140));
}

TEST(ColourMaps, CoolwarmDivergesFromMorelandsBlueThroughGreyToRed) {
  const ColourRamp ramp = BuildColourMap(ColourMap::Coolwarm);
  // The paper's end points, in 8-bit sRGB.
  EXPECT_EQ(ramp[0], MakeColour(59, 76, 192));
  EXPECT_EQ(ramp[255], MakeColour(180, 4, 38));
  // The middle is the paper's neutral grey (0.865 of full scale, 221); entry 128 lies a 510th of
  // the way past it, towards red, so within a level of it.
  const auto near = [](Colour c, Published p) {
    const Colour e = Levels(p);
    return std::abs(RedOf(c) - RedOf(e)) <= 1 && std::abs(GreenOf(c) - GreenOf(e)) <= 1 &&
           std::abs(BlueOf(c) - BlueOf(e)) <= 1;
  };
  EXPECT_TRUE(near(ramp[128], {0.865395197, 0.86541021, 0.865395561}));
  // Entry 64 (1/4 of the way, 0.251) against the paper's table at 0.25: 0.5530, 0.6899, 0.9954.
  EXPECT_TRUE(near(ramp[64], {0.552953156, 0.688929332, 0.995375608}));
}

TEST(ColourMaps, GreysIsLinearAndLegacyIsTheOldRamp) {
  const ColourRamp greys = BuildColourMap(ColourMap::Greys);
  EXPECT_EQ(greys[0], MakeColour(0, 0, 0));
  EXPECT_EQ(greys[128], MakeColour(128, 128, 128));
  EXPECT_EQ(greys[255], MakeColour(255, 255, 255));
  EXPECT_EQ(BuildColourMap(ColourMap::Legacy), BuildColourRamp());
}

}  // namespace
}  // namespace vortana
