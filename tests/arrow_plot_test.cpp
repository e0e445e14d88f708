#include "render/arrow_plot.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "support/render_fields.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::MapFor;
using testing::render_fields::EvenlySpaced;
using testing::render_fields::GridField;
using testing::render_fields::UniformField;

constexpr Colour kInk = MakeColour(0, 200, 0);

struct GlyphCase {
  int gridSize;
  Vec3 v;
  PixelPoint tail;
  PixelPoint tip;
  PixelPoint wing1;
  PixelPoint wing2;
};

void ExpectGlyph(const GlyphCase& c) {
  const ArrowGlyph glyph = ArrowGlyphFor(100, 100, c.v, c.gridSize);
  SCOPED_TRACE(::testing::Message()
               << "gs " << c.gridSize << " v (" << c.v.x << ", " << c.v.y << ", " << c.v.z << ")");
  EXPECT_EQ(glyph.tail, c.tail);
  EXPECT_EQ(glyph.tip, c.tip);
  EXPECT_EQ(glyph.head[0], c.wing1);
  EXPECT_EQ(glyph.head[1], c.tip);
  EXPECT_EQ(glyph.head[2], c.wing2);
}

int InkedCount(const Surface& s) {
  int count = 0;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) count += s.Pixel(x, y) != kBlack;
  }
  return count;
}

TEST(ArrowGlyphTest, WorkedExamplesAtCentre100) {
  const GlyphCase cases[] = {
      // The wings' x differ by one pixel: cos of (0 - single pi/2) is about -4.37e-8, not 0.
      {16, {1, 0, 0}, {93, 100}, {107, 100}, {102, 96}, {103, 104}},
      // Offsets are truncated before the centre is added: 100 + trunc(-3.0000002) = 97.
      {16, {-1, 0, 0}, {107, 100}, {93, 100}, {97, 96}, {98, 104}},
      {16, {0, 1, 0}, {100, 93}, {100, 107}, {104, 103}, {96, 103}},
      {16, {0.6f, 0.8f, 0}, {95, 94}, {104, 105}, {104, 100}, {99, 104}},
      // Shorter than the head: the base point lies one pixel behind the centre.
      {8, {1, 0, 0}, {97, 100}, {103, 100}, {99, 96}, {100, 104}},
      {16, {0.1f, 0, 0}, {99, 100}, {100, 100}, {97, 96}, {97, 104}},
      // Along z alone: no shaft, a bar across the centre.
      {16, {0, 0, 1}, {100, 100}, {100, 100}, {104, 100}, {96, 100}},
      {16, {0, 0, 0}, {100, 100}, {100, 100}, {100, 100}, {100, 100}},
      // Half-length 4 at grid size 9: the head's base sits on the centre.
      {9, {1, 0, 0}, {96, 100}, {104, 100}, {100, 96}, {100, 104}},
  };
  for (const GlyphCase& c : cases) ExpectGlyph(c);
}

TEST(ArrowGlyphTest, HalfLengthIsHalfTheGridSizeLessOne) {
  // A unit vector along x reaches half pixels to either side.
  const int gridSizes[] = {8, 9, 16, 32, 64, 128};
  const int halves[] = {3, 4, 7, 15, 31, 63};
  for (int i = 0; i < 6; ++i) {
    const ArrowGlyph glyph = ArrowGlyphFor(200, 50, {1, 0, 0}, gridSizes[i]);
    EXPECT_EQ(glyph.tail, (PixelPoint{200 - halves[i], 50}));
    EXPECT_EQ(glyph.tip, (PixelPoint{200 + halves[i], 50}));
  }
}

TEST(ArrowGlyphTest, VectorsThatAreNotFiniteDrawNothingAndHugeOnesAreClamped) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const PixelPoint centre{100, 100};
  const Vec3 notFinite[] = {{kNaN, 0, 0},
                            {0, kInf, 0},
                            {1, 0, -kInf},
                            {kNaN, kNaN, kNaN},
                            // finite, but 3e38 x 63 overflows the scaled vector
                            {3e38f, 0, 0}};
  for (const Vec3& v : notFinite) {
    const ArrowGlyph glyph = ArrowGlyphFor(100, 100, v, 128);
    EXPECT_EQ(glyph.tail, centre);
    EXPECT_EQ(glyph.tip, centre);
    for (const PixelPoint& p : glyph.head) EXPECT_EQ(p, centre);
  }

  // A huge finite arrow keeps its direction; its far points stop at 2^30.
  constexpr int kLimit = 1 << 30;
  const ArrowGlyph huge = ArrowGlyphFor(100, 100, {1e30f, 0, 0}, 16);
  EXPECT_EQ(huge.tail, (PixelPoint{-kLimit, 100}));
  EXPECT_EQ(huge.tip, (PixelPoint{kLimit, 100}));
  EXPECT_EQ(huge.head[0], (PixelPoint{100 + kLimit, 96}));
  EXPECT_EQ(huge.head[2], (PixelPoint{100 + kLimit, 104}));

  // Centres at the int limits do not wrap.
  const ArrowGlyph corner = ArrowGlyphFor(INT_MAX, INT_MIN, {-1e30f, 1e30f, 0}, 128);
  EXPECT_GT(corner.head[0].x, 0);
  EXPECT_LT(corner.head[0].y, 0);

  Surface s(200, 200);
  s.SelectPen(kInk);
  DrawArrow(s, 100, 100, {1e30f, 0, 0}, 16);
  for (int x = 0; x < 200; ++x) EXPECT_EQ(s.Pixel(x, 100), kInk);
}

TEST(ArrowGlyphTest, DrawArrowDrawsShaftAndHeadWithTheSelectedPen) {
  Surface s(200, 200);
  s.SelectPen(kInk);
  DrawArrow(s, 100, 100, {1, 0, 0}, 16);
  // Shaft 93..106 (the tip is set by the head), wing 1 to the tip: 5 pixels, tip to wing 2
  // without wing 2 itself: 4 pixels, one of them the tip.
  EXPECT_EQ(InkedCount(s), 14 + 5 + 4);
  for (int x = 93; x <= 107; ++x) EXPECT_EQ(s.Pixel(x, 100), kInk);
  EXPECT_EQ(s.Pixel(92, 100), kBlack);
  EXPECT_EQ(s.Pixel(102, 96), kInk);
  EXPECT_EQ(s.Pixel(103, 104), kBlack);
  EXPECT_EQ(s.Pixel(104, 103), kInk);
  EXPECT_EQ(s.Pen(), kInk);

  Surface nothing(200, 200);
  nothing.SelectPen(kInk);
  DrawArrow(nothing, 100, 100, {0, 0, 0}, 16);
  EXPECT_EQ(InkedCount(nothing), 0);
}

TEST(VectorAtPixelTest, NormalisesOrDividesByMaxSpeed) {
  const auto field = UniformField({3, 4, 0});
  const PixelMap map = MapFor(*field);
  EXPECT_EQ(VectorAtPixel(*field, map, {16, 1, 5.0f}, 10, 20), (Vec3{0.6f, 0.8f, 0}));
  EXPECT_EQ(VectorAtPixel(*field, map, {16, 0, 5.0f}, 10, 20), (Vec3{0.6f, 0.8f, 0}));
  // Only the value 1 switches normalisation on.
  EXPECT_EQ(VectorAtPixel(*field, map, {16, 2, 10.0f}, 10, 20), (Vec3{0.3f, 0.4f, 0}));
  // A field at rest everywhere, normalisation off: no speed to divide by, the zero vector.
  EXPECT_EQ(VectorAtPixel(*field, map, {16, 0, 0.0f}, 10, 20), (Vec3{0, 0, 0}));

  const auto rest = UniformField({0, 0, 0});
  EXPECT_EQ(VectorAtPixel(*rest, MapFor(*rest), {16, 1, 0.0f}, 10, 20), (Vec3{0, 0, 0}));
}

TEST(VectorAtPixelTest, SamplesTheWorldPointOfThePixel) {
  // u = x over [0, 2]; pixel 128 is world x 0.5, pixel 384 is 1.5.
  const auto field =
      GridField(EvenlySpaced(3, 2.0f), EvenlySpaced(3, 2.0f), [](int c, int, GridPoint& node) {
        node.velocity = {c + 0.0f, 1, 0};
      });
  const PixelMap map = MapFor(*field);
  const ArrowSettings byOne{16, 0, 1.0f};
  EXPECT_EQ(VectorAtPixel(*field, map, byOne, 128, 7), (Vec3{0.5f, 1, 0}));
  EXPECT_EQ(VectorAtPixel(*field, map, byOne, 384, 300), (Vec3{1.5f, 1, 0}));
  // Beyond the domain the field answers with node 0's velocity.
  PixelMap wide = map;
  wide.scaleX *= 2;
  EXPECT_EQ(VectorAtPixel(*field, wide, byOne, 300, 7), (Vec3{0, 1, 0}));
}

TEST(ArrowPlotTest, LatticeCountsAndCentres) {
  const auto field = UniformField({1, 0, 0});
  const PixelMap map = MapFor(*field);
  struct Lattice {
    int gridSize;
    size_t count;
    int first;
    int last;
  };
  const Lattice lattices[] = {{8, 4096, 4, 508},  {9, 57 * 57, 4, 508}, {16, 1024, 8, 504},
                              {32, 256, 16, 496}, {64, 64, 32, 480},    {128, 16, 64, 448}};
  for (const Lattice& l : lattices) {
    Surface area(512, 512);
    std::vector<ArrowRecord> arrows;
    DrawArrowPlot(*field, map, {l.gridSize, 1, 1.0f}, kInk, area, arrows);
    ASSERT_EQ(arrows.size(), l.count) << "gs " << l.gridSize;
    EXPECT_EQ(arrows.front().x, l.first);
    EXPECT_EQ(arrows.front().y, l.first);
    // Row by row, left to right.
    EXPECT_EQ(arrows[1].x, l.first + l.gridSize);
    EXPECT_EQ(arrows[1].y, l.first);
    EXPECT_EQ(arrows.back().x, l.last);
    EXPECT_EQ(arrows.back().y, l.last);
    EXPECT_EQ(arrows.back().v, (Vec3{1, 0, 0}));
  }
}

TEST(ArrowPlotTest, StoredArrowsRedrawThePlotPixelForPixel) {
  // A swirl whose vectors differ from arrow to arrow, some beyond the domain (scale doubled).
  const auto field =
      GridField(EvenlySpaced(9, 4.0f), EvenlySpaced(7, 3.0f), [](int c, int r, GridPoint& node) {
        node.velocity = {r - 3.0f, 4.0f - c, 0.5f * c};
      });
  PixelMap map = MapFor(*field);
  map.scaleY *= 2;
  const ArrowSettings settings{32, 0, field->Stats().maxSpeed};
  Surface area(512, 512);
  area.SelectPen(kBlue);
  std::vector<ArrowRecord> arrows{{1, 2, {3, 4, 5}}};  // appended to, never emptied here
  DrawArrowPlot(*field, map, settings, kInk, area, arrows);
  ASSERT_EQ(arrows.size(), 1u + 256u);
  EXPECT_EQ(arrows.front().x, 1);
  EXPECT_EQ(area.Pen(), kBlue);

  Surface redrawn(512, 512);
  redrawn.SelectPen(kInk);
  for (size_t i = 1; i < arrows.size(); ++i) {
    const ArrowRecord& a = arrows[i];
    EXPECT_EQ(a.v, VectorAtPixel(*field, map, settings, a.x, a.y));
    DrawArrow(redrawn, a.x, a.y, a.v, settings.gridSize);
  }
  int inked = 0;
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) {
      ASSERT_EQ(area.Pixel(x, y), redrawn.Pixel(x, y)) << x << "," << y;
      inked += area.Pixel(x, y) == kInk;
    }
  }
  EXPECT_GT(inked, 256);
}

TEST(ArrowPlotTest, ArrowsWithNothingToDrawAreStoredAsSampled) {
  // At rest with normalisation off: max speed 0, every vector (0, 0, 0).
  const auto rest = UniformField({0, 0, 0});
  Surface area(128, 128);
  std::vector<ArrowRecord> arrows;
  DrawArrowPlot(*rest, MapFor(*rest, 128, 128), {16, 0, rest->Stats().maxSpeed}, kInk, area,
                arrows);
  ASSERT_EQ(arrows.size(), 64u);
  for (const ArrowRecord& a : arrows) EXPECT_EQ(a.v, (Vec3{0, 0, 0}));
  EXPECT_EQ(InkedCount(area), 0);

  // Velocities that are not numbers: the records keep them, the glyphs draw nothing.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto broken = UniformField({nan, 1, 0});
  arrows.clear();
  DrawArrowPlot(*broken, MapFor(*broken, 128, 128), {16, 1, 1.0f}, kInk, area, arrows);
  ASSERT_EQ(arrows.size(), 64u);
  EXPECT_TRUE(std::isnan(arrows.front().v.x));
  EXPECT_TRUE(std::isnan(arrows.back().v.y));  // normalised by a length that is not a number
  EXPECT_EQ(InkedCount(area), 0);
}

TEST(ArrowPlotTest, GridSizeBelowOneDrawsAndStoresNothing) {
  const auto field = UniformField({1, 0, 0});
  Surface area(64, 64);
  std::vector<ArrowRecord> arrows;
  DrawArrowPlot(*field, MapFor(*field, 64, 64), {0, 1, 1.0f}, kInk, area, arrows);
  DrawArrowPlot(*field, MapFor(*field, 64, 64), {-5, 1, 1.0f}, kInk, area, arrows);
  EXPECT_TRUE(arrows.empty());
  EXPECT_EQ(InkedCount(area), 0);
  // A grid size wider than the area puts no cell centre on it.
  DrawArrowPlot(*field, MapFor(*field, 64, 64), {INT_MAX, 1, 1.0f}, kInk, area, arrows);
  EXPECT_TRUE(arrows.empty());
}

}  // namespace
}  // namespace vortana
