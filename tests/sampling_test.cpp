#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "data/flow_field.h"
#include "data/path_samplers.h"
#include "support/flow_files.h"

namespace vortana {
namespace {

using testing::RectilinearNodes;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

bool SameBits(const Vec3& a, const Vec3& b) {
  return std::bit_cast<uint32_t>(a.x) == std::bit_cast<uint32_t>(b.x) &&
         std::bit_cast<uint32_t>(a.y) == std::bit_cast<uint32_t>(b.y) &&
         std::bit_cast<uint32_t>(a.z) == std::bit_cast<uint32_t>(b.z);
}

/// A rectilinear field with velocity (u, v, w) = (c + 10 r, 100 + r, 2 c) at column c, row r.
std::unique_ptr<FlowField> LabelledField(const std::vector<float>& xs, const std::vector<float>& ys,
                                         int depth = 1) {
  std::vector<GridPoint> slice = RectilinearNodes(xs, ys);
  const int width = static_cast<int>(xs.size());
  for (std::size_t k = 0; k < slice.size(); ++k) {
    const int c = static_cast<int>(k) % width;
    const int r = static_cast<int>(k) / width;
    slice[k].velocity = {static_cast<float>(c + 10 * r), static_cast<float>(100 + r),
                         static_cast<float>(2 * c)};
  }
  std::vector<GridPoint> nodes;
  for (int s = 0; s < depth; ++s) nodes.insert(nodes.end(), slice.begin(), slice.end());
  return FlowField::FromNodes(width, static_cast<int>(ys.size()), depth, 2, nodes);
}

int IndexOf(const FlowField& field, const GridPoint& node) {
  return static_cast<int>(&node - field.Nodes().data());
}

TEST(NodeAtTest, FindsTheCornerWithTheLargerCoordinates) {
  const auto field = LabelledField({0, 1, 2, 3}, {0, 1, 2});
  auto column = [&](float x) { return IndexOf(*field, field->NodeAt(x, 0.5f)) % 4; };
  EXPECT_EQ(column(0.0f), 1);
  EXPECT_EQ(column(-5.0f), 1);
  EXPECT_EQ(column(0.5f), 1);
  EXPECT_EQ(column(1.0f), 1);
  EXPECT_EQ(column(1.5f), 2);
  EXPECT_EQ(column(2.0f), 2);
  EXPECT_EQ(column(3.0f), 3);

  auto row = [&](float y) { return IndexOf(*field, field->NodeAt(0.5f, y)) / 4; };
  EXPECT_EQ(row(0.0f), 1);
  EXPECT_EQ(row(1.0f), 1);
  EXPECT_EQ(row(1.25f), 2);
  EXPECT_EQ(row(2.0f), 2);
  EXPECT_EQ(&field->NodeAt(2.5f, 1.5f), &field->Nodes()[3 + 2 * 4]);

  // Repeated coordinates: the first column at or above the query wins.
  const auto repeated = LabelledField({0, 1, 1, 1, 2}, {0, 1});
  EXPECT_EQ(IndexOf(*repeated, repeated->NodeAt(1.0f, 0.0f)), 1 + 5);
  EXPECT_EQ(IndexOf(*repeated, repeated->NodeAt(1.5f, 0.0f)), 4 + 5);
}

TEST(NodeAtTest, StaysInsideTheGridForAnyQuery) {
  const auto field = LabelledField({0, 1, 2, 3}, {0, 1, 2});
  // Beyond the last column or row, or not a number: the last column or row.
  EXPECT_EQ(IndexOf(*field, field->NodeAt(3.5f, 0.5f)), 3 + 4);
  EXPECT_EQ(IndexOf(*field, field->NodeAt(0.5f, 9.0f)), 1 + 8);
  EXPECT_EQ(IndexOf(*field, field->NodeAt(kInf, kInf)), 11);
  EXPECT_EQ(IndexOf(*field, field->NodeAt(kNaN, kNaN)), 11);

  // One column or one row: that column or row.
  const auto column = LabelledField({5}, {0, 1, 2});
  EXPECT_EQ(IndexOf(*column, column->NodeAt(5, 1.5f)), 2);
  const auto row = LabelledField({0, 1, 2}, {7});
  EXPECT_EQ(IndexOf(*row, row->NodeAt(1.5f, 7)), 2);

  // No nodes: a node at rest that is not part of any field.
  const FlowField empty;
  const GridPoint& rest = empty.NodeAt(1, 1);
  EXPECT_EQ(rest.velocity, Vec3(0, 0, 0));
  EXPECT_EQ(rest.scalar0, 0.0f);
  EXPECT_EQ(rest.scalar1, 0.0f);
}

TEST(VelocityAtTest, InterpolatesBilinearlyInTheCell) {
  // One cell, 2 wide and 4 high. At (0.5, 1): distances 0.5, 1.5, 1, 3; weights 4.5, 1.5, 1.5,
  // 0.5; sums (12, 16, 1) over the area 8.
  std::vector<GridPoint> nodes = RectilinearNodes({0, 2}, {0, 4});
  nodes[0].velocity = {1, 0, 0};
  nodes[1].velocity = {3, 0, 0};
  nodes[2].velocity = {1, 8, 0};
  nodes[3].velocity = {3, 8, 2};
  const auto cell = FlowField::FromNodes(2, 2, 1, 2, nodes);
  EXPECT_EQ(cell->VelocityAt(0.5f, 1.0f), Vec3(1.5f, 2.0f, 0.125f));
  EXPECT_EQ(cell->VelocityAt(1.0f, 2.0f), Vec3(2.0f, 4.0f, 0.5f));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(cell->VelocityAt(nodes[k].position.x, nodes[k].position.y), nodes[k].velocity);
  }

  const auto field = LabelledField({0, 1, 2, 4}, {0, 2, 3});
  // At every node, that node's velocity.
  for (const GridPoint& node : field->Nodes()) {
    EXPECT_EQ(field->VelocityAt(node.position.x, node.position.y), node.velocity);
  }
  // The middle of cell (2, 1): the mean of (12, 101, 4), (13, 101, 6), (22, 102, 4), (23, 102, 6).
  EXPECT_EQ(field->VelocityAt(3.0f, 2.5f), Vec3(17.5f, 101.5f, 5.0f));
  // On max x, along the last column: a quarter of the way from row 1 to row 2.
  EXPECT_EQ(field->VelocityAt(4.0f, 2.25f), Vec3(15.5f, 101.25f, 6.0f));
  // On the interior line x = 1, linear along it in cell 0 (u = 10 r + c, v = 100 + r): y = 1 is
  // half way up row 0 to row 1.
  EXPECT_EQ(field->VelocityAt(1.0f, 1.0f), Vec3(6.0f, 100.5f, 2.0f));
  // On y = min y: row 0, a quarter of the way along cell (2, 0).
  EXPECT_EQ(field->VelocityAt(2.5f, 0.0f), Vec3(2.25f, 100.0f, 4.5f));
}

TEST(VelocityAtTest, OutsideTheDomainAnswersNodeZero) {
  std::vector<GridPoint> nodes = RectilinearNodes({0, 1, 2}, {0, 1});
  for (GridPoint& node : nodes) node.velocity = {1, 1, 1};
  nodes[0].velocity = {-50, 60, -70};
  const auto field = FlowField::FromNodes(3, 2, 1, 2, nodes);
  const Vec3 nodeZero(-50, 60, -70);
  EXPECT_EQ(field->VelocityAt(std::nextafter(2.0f, kInf), 0.5f), nodeZero);
  EXPECT_EQ(field->VelocityAt(2.0f, std::nextafter(1.0f, kInf)), nodeZero);
  EXPECT_EQ(field->VelocityAt(std::nextafter(0.0f, -kInf), 0.5f), nodeZero);
  EXPECT_EQ(field->VelocityAt(1.0f, -1.0f), nodeZero);
  EXPECT_EQ(field->VelocityAt(2.0f, 1.0f), Vec3(1, 1, 1));
  EXPECT_EQ(field->VelocityAt(kNaN, 0.5f), nodeZero);
}

TEST(VelocityAtTest, SamplesSliceZeroOnly) {
  // Slice 1 repeats the grid with other velocities; the answers come from slice 0.
  const auto field = LabelledField({0, 1}, {0, 1}, 2);
  std::vector<GridPoint> nodes = field->Nodes();
  for (int k = 4; k < 8; ++k) nodes[k].velocity = {999, 999, 999};
  const auto twoSlices = FlowField::FromNodes(2, 2, 2, 2, nodes);
  EXPECT_EQ(twoSlices->VelocityAt(0.5f, 0.5f), Vec3(5.5f, 100.5f, 1.0f));
  EXPECT_EQ(&twoSlices->NodeAt(0.5f, 0.5f), &twoSlices->Nodes()[3]);
  // The maximum speed, though, counts every slice.
  EXPECT_EQ(twoSlices->Stats().maxSpeed, static_cast<float>(std::sqrt(3.0 * 999 * 999)));
}

TEST(VelocityAtTest, ZeroWidthCellsFollowTheLowerCell) {
  // Columns 1 and 2 share x = 1: a query on that line uses cell 0, which has width 1.
  const auto field = LabelledField({0, 1, 1, 2}, {0, 1});
  EXPECT_EQ(field->VelocityAt(1.0f, 0.0f), Vec3(1, 100, 2));
  EXPECT_EQ(field->VelocityAt(1.5f, 0.0f), Vec3(2.5f, 100, 5));
  // A grid whose first two columns coincide divides by zero at x = 0.
  const auto degenerate = LabelledField({0, 0, 1}, {0, 1});
  EXPECT_FALSE(std::isfinite(degenerate->VelocityAt(0.0f, 0.5f).x));
}

TEST(VelocityAtTest, FieldsWithoutACellAnswerRest) {
  EXPECT_EQ(FlowField().VelocityAt(0, 0), Vec3(0, 0, 0));
  EXPECT_EQ(LabelledField({0}, {0, 1})->VelocityAt(0, 0.5f), Vec3(0, 0, 0));
  EXPECT_EQ(LabelledField({0, 1}, {3})->VelocityAt(0.5f, 3), Vec3(0, 0, 0));
}

// --- Safety on grids of any shape ------------------------------------------------------------

TEST(SamplingTest, NeverReadsOutsideTheNodesOfAnyGrid) {
  std::mt19937 rng(20240607);
  std::uniform_real_distribution<float> any(-10.0f, 10.0f);
  std::uniform_int_distribution<int> size(1, 6);
  const float specials[] = {kNaN, kInf, -kInf, 0.0f, -0.0f, 3.4028235e38f};
  FlowField::CellHint hint;
  for (int trial = 0; trial < 3000; ++trial) {
    const int width = size(rng);
    const int height = size(rng);
    const int depth = size(rng) % 3 + 1;
    std::vector<GridPoint> nodes(static_cast<std::size_t>(width * height * depth));
    for (GridPoint& node : nodes) {
      // Coordinates in any order, sometimes not numbers; later slices reach further.
      node.position = {any(rng), any(rng), 0};
      if (rng() % 17 == 0) node.position.x = specials[rng() % 6];
      if (rng() % 17 == 0) node.position.y = specials[rng() % 6];
      node.velocity = {any(rng), any(rng), any(rng)};
    }
    const auto field = FlowField::FromNodes(width, height, depth, 2, nodes);
    for (int q = 0; q < 40; ++q) {
      float x = any(rng) * 2;
      float y = any(rng) * 2;
      if (q % 7 == 0) x = specials[rng() % 6];
      if (q % 5 == 0) y = specials[rng() % 6];
      const GridPoint& node = field->NodeAt(x, y);
      const int index = IndexOf(*field, node);
      ASSERT_GE(index, 0);
      ASSERT_LT(index, width * height);
      // A hint carried over from other points and other grids changes nothing, on any grid.
      const Vec3 plain = field->VelocityAt(x, y);
      const Vec3 hinted = field->VelocityAt(x, y, hint);
      ASSERT_TRUE(SameBits(plain, hinted));
    }
  }
}

// --- The searches against the scans they replace ---------------------------------------------

/// VelocityAt as a scan one column, then one row, at a time, with every read checked: nothing
/// when a scan would leave the row or column without stopping.
std::optional<Vec3> ScannedVelocityAt(const FlowField& field, float x, float y) {
  const std::vector<GridPoint>& n = field.Nodes();
  const FieldStatistics& s = field.Stats();
  const int width = field.Width();
  const int height = field.Height();
  if (x < s.minPosition.x || x > s.maxPosition.x || y < s.minPosition.y || y > s.maxPosition.y) {
    return n[0].velocity;
  }
  int c = 0;
  for (;; ++c) {
    if (c + 1 >= width) return std::nullopt;
    if (n[c].position.x <= x && x <= n[c + 1].position.x) break;
  }
  int k = c;
  for (int r = 0;; ++r) {
    k = c + r * width;
    if (r + 1 >= height) return std::nullopt;
    if (n[k].position.y <= y && y <= n[k + width].position.y) break;
  }
  const float x0 = n[k].position.x;
  const float x1 = n[k + 1].position.x;
  const float y0 = n[k].position.y;
  const float y1 = n[k + width].position.y;
  const float dx0 = static_cast<float>(static_cast<double>(x) - x0);
  const float dx1 = static_cast<float>(static_cast<double>(x1) - x);
  const float dy0 = static_cast<float>(static_cast<double>(y) - y0);
  const float dy1 = static_cast<float>(static_cast<double>(y1) - y);
  Vec3 a = n[k].velocity;
  a *= static_cast<float>(static_cast<double>(dy1) * dx1);
  Vec3 b = n[k + 1].velocity;
  b *= static_cast<float>(static_cast<double>(dy1) * dx0);
  Vec3 c2 = n[k + width].velocity;
  c2 *= static_cast<float>(static_cast<double>(dy0) * dx1);
  Vec3 d = n[k + width + 1].velocity;
  d *= static_cast<float>(static_cast<double>(dy0) * dx0);
  a += b;
  c2 += d;
  a += c2;
  a /= static_cast<float>((static_cast<double>(y1) - y0) * (static_cast<double>(x1) - x0));
  return a;
}

/// NodeAt as the halving-step search with the row offset table. A read beyond the row or the
/// column counts as +infinity and sets `leftGrid`; a search that ends beyond the grid is taken
/// back to the last column or row, which is what the field answers there.
int SteppedNodeIndex(const FlowField& field, float x, float y, bool& leftGrid) {
  const std::vector<GridPoint>& nodes = field.Nodes();
  const std::vector<int32_t>& rowOffset = field.RowOffsets();
  const int width = field.Width();
  const int height = field.Height();
  auto xOf = [&](int col) {
    if (col >= width) {
      leftGrid = true;
      return kInf;
    }
    return nodes[col].position.x;
  };
  int c = 0;
  int n = width;
  if (n > 0) {
    for (int h = n / 2;;) {
      if (h != 0 && xOf(c + h) < x) {
        c += h;
      } else {
        c += 1;
      }
      if (xOf(c) >= x) break;
      h /= 2;
      if (c >= n) break;
    }
  }
  c = std::min(c, width - 1);
  auto yOf = [&](int k, int row) {
    if (row >= height) {
      leftGrid = true;
      return kInf;
    }
    return nodes[k].position.y;
  };
  int k = c;
  int t = 0;
  n = height;
  if (n > 0) {
    for (int h = n / 2;;) {
      if (h != 0 && yOf(k + rowOffset[h], t + h) < y) {
        k += rowOffset[h];
        t += h;
      } else {
        k += width;
        t += 1;
      }
      if (yOf(k, t) >= y) break;
      h /= 2;
      if (t >= n) break;
    }
  }
  if (t >= height) k = c + (height - 1) * width;
  return k;
}

/// Non-decreasing coordinates with repeats, from `start`, shifted so that the last one is not
/// below 0 (the maxima start at 0, and the first row must reach the domain's maximum).
std::vector<float> RisingCoordinates(std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> start(-20.0f, 20.0f);
  std::uniform_real_distribution<float> step(0.001f, 3.0f);
  const float coarseSteps[] = {0.0f, 0.0f, 0.25f, 0.5f, 1.0f};
  std::vector<float> values(count);
  values[0] = rng() % 3 == 0 ? 0.0f : start(rng);
  for (int i = 1; i < count; ++i) {
    const float delta = rng() % 2 ? coarseSteps[rng() % 5] : step(rng);
    values[i] = values[i - 1] + delta;
  }
  if (values.back() < 0.0f) {
    const float shift = -values.back();
    for (float& v : values) v += shift;
  }
  return values;
}

/// A well-formed grid: rows and columns rising, row 0 and every column spanning the domain.
/// When `sheared`, rows after the first and columns have their own coordinates inside that span.
std::unique_ptr<FlowField> RandomGrid(std::mt19937& rng, int width, int height, bool sheared) {
  const std::vector<float> xs = RisingCoordinates(rng, width);
  const std::vector<float> ys = RisingCoordinates(rng, height);
  std::vector<GridPoint> nodes = RectilinearNodes(xs, ys);
  if (sheared) {
    std::uniform_real_distribution<float> insideX(xs.front(), xs.back());
    std::uniform_real_distribution<float> insideY(ys.front(), ys.back());
    for (int r = 1; r < height; ++r) {
      std::vector<float> row(width);
      for (float& x : row) x = insideX(rng);
      std::sort(row.begin(), row.end());
      for (int c = 0; c < width; ++c) nodes[c + r * width].position.x = row[c];
    }
    for (int c = 0; c < width; ++c) {
      std::vector<float> column(height);
      for (float& y : column) y = insideY(rng);
      std::sort(column.begin(), column.end());
      column.front() = ys.front();
      column.back() = ys.back();
      for (int r = 0; r < height; ++r) nodes[c + r * width].position.y = column[r];
    }
  }
  std::uniform_real_distribution<float> speed(-100.0f, 100.0f);
  for (GridPoint& node : nodes) node.velocity = {speed(rng), speed(rng), speed(rng) * 1e-3f};
  return FlowField::FromNodes(width, height, 1, 2, nodes);
}

/// Query points: every kind of place where a search could go wrong.
std::vector<std::pair<float, float>> QueryPoints(std::mt19937& rng, const FlowField& field) {
  const FieldStatistics& s = field.Stats();
  const std::vector<GridPoint>& nodes = field.Nodes();
  const float xs[] = {s.minPosition.x,
                      s.maxPosition.x,
                      std::nextafter(s.minPosition.x, -kInf),
                      std::nextafter(s.maxPosition.x, kInf),
                      std::nextafter(s.minPosition.x, kInf),
                      std::nextafter(s.maxPosition.x, -kInf),
                      0.0f,
                      -0.0f};
  const float ys[] = {s.minPosition.y,
                      s.maxPosition.y,
                      std::nextafter(s.minPosition.y, -kInf),
                      std::nextafter(s.maxPosition.y, kInf),
                      std::nextafter(s.minPosition.y, kInf),
                      std::nextafter(s.maxPosition.y, -kInf),
                      0.0f,
                      -0.0f};
  std::uniform_int_distribution<std::size_t> anyNode(0, nodes.size() - 1);
  std::uniform_real_distribution<float> anyX(s.minPosition.x - 1, s.maxPosition.x + 1);
  std::uniform_real_distribution<float> anyY(s.minPosition.y - 1, s.maxPosition.y + 1);
  std::vector<std::pair<float, float>> points;
  for (float x : xs) {
    for (float y : ys) points.emplace_back(x, y);
  }
  for (int i = 0; i < 150; ++i) {
    const GridPoint& a = nodes[anyNode(rng)];
    const GridPoint& b = nodes[anyNode(rng)];
    points.emplace_back(a.position.x, b.position.y);
    points.emplace_back(a.position.x, anyY(rng));
    points.emplace_back(anyX(rng), b.position.y);
    points.emplace_back(anyX(rng), anyY(rng));
    const float midX = static_cast<float>((static_cast<double>(a.position.x) + b.position.x) / 2);
    const float midY = static_cast<float>((static_cast<double>(a.position.y) + b.position.y) / 2);
    points.emplace_back(midX, midY);
    points.emplace_back(std::nextafter(a.position.x, kInf), std::nextafter(b.position.y, -kInf));
  }
  return points;
}

TEST(SamplingTest, SearchesMatchTheStepByStepScansOnWellFormedGrids) {
  std::mt19937 rng(1234567);
  std::uniform_int_distribution<int> size(2, 40);
  int comparisons = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const int width = size(rng);
    const int height = size(rng);
    const auto field = RandomGrid(rng, width, height, trial % 3 == 0);
    const float lastX = field->Nodes()[width - 1].position.x;
    for (const auto& [x, y] : QueryPoints(rng, *field)) {
      SCOPED_TRACE(::testing::Message() << "grid " << trial << " (" << width << " x " << height
                                        << ") at " << x << ", " << y);
      const std::optional<Vec3> scanned = ScannedVelocityAt(*field, x, y);
      ASSERT_TRUE(scanned.has_value()) << "a scan left the grid on a well-formed field";
      const Vec3 searched = field->VelocityAt(x, y);
      ASSERT_TRUE(SameBits(searched, *scanned))
          << searched.x << " " << searched.y << " " << searched.z << " vs " << scanned->x << " "
          << scanned->y << " " << scanned->z;

      bool leftGrid = false;
      const int stepped = SteppedNodeIndex(*field, x, y, leftGrid);
      ASSERT_EQ(IndexOf(*field, field->NodeAt(x, y)), stepped);
      const int column = stepped % width;
      const float lastY = field->Nodes()[column + (height - 1) * width].position.y;
      if (x <= lastX && y <= lastY) {
        ASSERT_FALSE(leftGrid) << "the halving search stepped beyond the grid";
      }
      ++comparisons;
    }
  }
  EXPECT_GT(comparisons, 1000000);
}

/// An axis of `count` coordinates spaced evenly over [origin, origin + extent], rounded to float
/// in one of the ways a writer might: i * extent / (count - 1) in double, i times a float step,
/// or a running float sum of that step (which drifts from the even positions).
std::vector<float> EvenCoordinates(std::mt19937& rng, int count) {
  const double extents[] = {512.0, 3.0, 2.0, 1e-3, 1000.0, 7.3, 1e6, 0.1};
  const double extent = extents[rng() % 8];
  const double origins[] = {0.0, -extent / 2, -extent, extent / 3, -0.1};
  const double origin = origins[rng() % 5];
  const float step = static_cast<float>(extent / (count - 1));
  std::vector<float> values(count);
  const unsigned way = rng() % 3;
  for (int i = 0; i < count; ++i) {
    if (way == 0) {
      values[i] = static_cast<float>(origin + extent * i / (count - 1));
    } else if (way == 1) {
      values[i] = static_cast<float>(origin + static_cast<double>(step * static_cast<float>(i)));
    } else {
      values[i] = i == 0 ? static_cast<float>(origin) : values[i - 1] + step;
    }
  }
  // The maxima start at 0: an axis ending below 0 would not span the domain.
  if (values.back() < 0.0f) values.back() = 0.0f;
  return values;
}

/// A random walk through the domain and a little beyond, in steps of about `stepCells` cells,
/// with visits to grid lines, their float neighbours and the domain's edges on the way.
std::vector<std::pair<float, float>> WalkPoints(std::mt19937& rng, const FlowField& field,
                                                double stepCells, int count) {
  const FieldStatistics& s = field.Stats();
  const std::vector<GridPoint>& nodes = field.Nodes();
  const double spanX = static_cast<double>(s.maxPosition.x) - s.minPosition.x;
  const double spanY = static_cast<double>(s.maxPosition.y) - s.minPosition.y;
  const double stepX = spanX / (field.Width() - 1) * stepCells;
  const double stepY = spanY / (field.Height() - 1) * stepCells;
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<std::size_t> anyNode(0, nodes.size() - 1);
  double x = s.minPosition.x + spanX * (unit(rng) + 1) / 2;
  double y = s.minPosition.y + spanY * (unit(rng) + 1) / 2;
  std::vector<std::pair<float, float>> points;
  for (int i = 0; i < count; ++i) {
    x = std::clamp(x + stepX * unit(rng), s.minPosition.x - stepX, s.maxPosition.x + stepX);
    y = std::clamp(y + stepY * unit(rng), s.minPosition.y - stepY, s.maxPosition.y + stepY);
    float qx = static_cast<float>(x);
    float qy = static_cast<float>(y);
    switch (rng() % 12) {
      case 0: {  // onto the nearest column's line, or just beside it
        const double at = spanX > 0 ? (x - s.minPosition.x) / spanX * (field.Width() - 1) : 0;
        const int column = static_cast<int>(std::clamp(at, 0.0, field.Width() - 1.0));
        qx = nodes[column].position.x;
        if (rng() % 2) qx = std::nextafter(qx, rng() % 2 ? kInf : -kInf);
        break;
      }
      case 1:
        qy = nodes[anyNode(rng)].position.y;
        break;
      case 2:
        qx = rng() % 2 ? s.minPosition.x : s.maxPosition.x;
        break;
      case 3:
        qy = rng() % 2 ? s.minPosition.y : s.maxPosition.y;
        break;
      default:
        break;
    }
    points.emplace_back(qx, qy);
  }
  return points;
}

TEST(SamplingTest, SamplesAlongPathsMatchTheScansWhateverTheHint) {
  std::mt19937 rng(7654321);
  std::uniform_int_distribution<int> size(2, 60);
  const double stepsInCells[] = {0.05, 0.2, 0.7, 2.5, 40.0};
  FlowField::CellHint stale{12345, -7};
  int comparisons = 0;
  for (int trial = 0; trial < 1200; ++trial) {
    const int width = size(rng);
    const int height = size(rng);
    std::unique_ptr<FlowField> field;
    if (trial % 2 == 0) {
      field = RandomGrid(rng, width, height, trial % 6 == 0);
    } else {
      // Evenly spaced axes, where the cell can be computed; velocities at random.
      std::vector<GridPoint> nodes =
          RectilinearNodes(EvenCoordinates(rng, width), EvenCoordinates(rng, height));
      std::uniform_real_distribution<float> speed(-100.0f, 100.0f);
      for (GridPoint& node : nodes) node.velocity = {speed(rng), speed(rng), speed(rng)};
      field = FlowField::FromNodes(width, height, 1, 2, nodes);
    }
    // Two sequences sampled in turn, as a Runge-Kutta trace samples its points and trial points.
    FlowField::CellHint hints[2];
    const auto points = WalkPoints(rng, *field, stepsInCells[trial % 5], 400);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const auto [x, y] = points[i];
      SCOPED_TRACE(::testing::Message() << "grid " << trial << " (" << width << " x " << height
                                        << ") at " << x << ", " << y);
      const std::optional<Vec3> scanned = ScannedVelocityAt(*field, x, y);
      ASSERT_TRUE(scanned.has_value()) << "a scan left the grid on a well-formed field";
      ASSERT_TRUE(SameBits(field->VelocityAt(x, y, hints[i % 2]), *scanned));
      ASSERT_TRUE(SameBits(field->VelocityAt(x, y, stale), *scanned));
      ++comparisons;
    }
  }
  EXPECT_GT(comparisons, 400000);
}

TEST(SamplingTest, SamplesOutsideSliceZeroButInsideTheDomainAnswerNodeZero) {
  // Slice 1 reaches beyond slice 0, so the domain (over every slice) holds points that no cell of
  // slice 0 holds; there the scans find no cell, and the field answers node 0's velocity, also
  // when the hint names a cell next to the point.
  std::mt19937 rng(24680);
  int outside = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const int width = 2 + static_cast<int>(rng() % 20);
    const int height = 2 + static_cast<int>(rng() % 20);
    std::vector<GridPoint> nodes =
        RectilinearNodes(EvenCoordinates(rng, width), EvenCoordinates(rng, height));
    std::vector<GridPoint> wider = nodes;
    for (GridPoint& node : wider) {
      node.position.x = node.position.x * 1.5f - 1.0f;
      node.position.y = node.position.y * 1.5f - 1.0f;
    }
    nodes.insert(nodes.end(), wider.begin(), wider.end());
    for (GridPoint& node : nodes) node.velocity = {static_cast<float>(rng() % 100), 1, 2};
    const auto field = FlowField::FromNodes(width, height, 2, 2, nodes);
    FlowField::CellHint hint;
    for (const auto& [x, y] : WalkPoints(rng, *field, 0.3, 200)) {
      const Vec3 hinted = field->VelocityAt(x, y, hint);
      ASSERT_TRUE(SameBits(hinted, field->VelocityAt(x, y)));
      const std::optional<Vec3> scanned = ScannedVelocityAt(*field, x, y);
      if (scanned) {
        ASSERT_TRUE(SameBits(hinted, *scanned));
      } else {
        ASSERT_TRUE(SameBits(hinted, field->Nodes()[0].velocity));
        ++outside;
      }
    }
  }
  EXPECT_GT(outside, 1000);
}

TEST(SamplingTest, EvenlySpacedAxesFindTheLowerCellOnEveryLine) {
  // x = i * 512 / 1023 rounded to float: not exactly i times any float step. On each line the
  // point belongs to the cell below it (the lower interval is found first); just above the line,
  // to the cell above. The field's u is the column index and v the row index at each node, so
  // the answer tells the cell apart exactly at the lines: the cell below gives u = i with weight
  // 1 on its right nodes, and v = 0.5 half way up row 0.
  const int n = 1024;
  std::vector<float> xs(n);
  for (int i = 0; i < n; ++i) xs[i] = static_cast<float>(512.0 * i / (n - 1));
  std::vector<GridPoint> nodes = RectilinearNodes(xs, {0.0f, 1.0f});
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    nodes[k].velocity = {static_cast<float>(k % n), static_cast<float>(k / n), 0.0f};
  }
  const auto field = FlowField::FromNodes(n, 2, 1, 2, nodes);
  FlowField::CellHint hint;
  for (int i = 0; i < n; ++i) {
    const Vec3 on = field->VelocityAt(xs[i], 0.5f, hint);
    EXPECT_EQ(on.x, static_cast<float>(i)) << i;
    EXPECT_EQ(on.y, 0.5f) << i;
    const std::optional<Vec3> scannedOn = ScannedVelocityAt(*field, xs[i], 0.5f);
    EXPECT_TRUE(SameBits(on, *scannedOn)) << i;
    if (i + 1 < n) {
      const float above = std::nextafter(xs[i], kInf);
      const std::optional<Vec3> scannedAbove = ScannedVelocityAt(*field, above, 0.5f);
      EXPECT_TRUE(SameBits(field->VelocityAt(above, 0.5f, hint), *scannedAbove)) << i;
      EXPECT_TRUE(SameBits(field->VelocityAt(above, 0.5f), *scannedAbove)) << i;
    }
  }
  // Repeated coordinates, reached from cells on either side: a point on a repeated line uses the
  // cell before the first repeat, whatever cell the previous sample used. (2, 1) is then the
  // top right corner of cell (1, 0), node (2, 1) with velocity (2 + 10, 100 + 1, 2 x 2).
  const auto repeated = LabelledField({0, 1, 2, 2, 2, 3, 4}, {0, 1, 1, 2});
  for (const float from : {0.5f, 1.5f, 2.5f, 3.5f}) {
    FlowField::CellHint near;
    (void)repeated->VelocityAt(from, from / 2, near);
    EXPECT_EQ(repeated->VelocityAt(2.0f, 1.0f, near), Vec3(12, 101, 4)) << from;
  }
}

/// Strictly rising coordinates with uneven gaps: a grid of them with flat velocities is planar.
std::vector<float> StrictlyRisingCoordinates(std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> start(-20.0f, 20.0f);
  std::uniform_real_distribution<float> gap(0.001f, 3.0f);
  std::vector<float> values(count);
  values[0] = rng() % 3 == 0 ? 0.0f : start(rng);
  for (int i = 1; i < count; ++i) values[i] = values[i - 1] + gap(rng);
  if (values.back() < 0.0f) {  // the maxima start at 0: the axis must reach 0
    const float shift = -values.back();
    for (float& v : values) v += shift;
  }
  return values;
}

/// Equal bits, or both not numbers: which NaN an addition passes on depends on the order the
/// compiler gives its operands, and nothing drawn or written can tell NaNs apart.
bool SameFloat(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

TEST(PlanarSamplerTest, AnswersVelocityAtsXAndYBitForBitAlongPaths) {
  // Paths that cross cells, lines, edges and the outside, on evenly and unevenly spaced planar
  // grids, with velocities that include zeros of either sign and values that are not finite.
  std::mt19937 rng(24681357);
  std::uniform_int_distribution<int> size(2, 50);
  const double stepsInCells[] = {0.05, 0.2, 0.7, 2.5, 40.0};
  const float odd[] = {0.0f, -0.0f, kInf, -kInf, kNaN, 1e30f, -1e-30f};
  int comparisons = 0;
  for (int trial = 0; trial < 600; ++trial) {
    const int width = size(rng);
    const int height = size(rng);
    const bool even = trial % 2 == 1;
    std::vector<GridPoint> nodes =
        even ? RectilinearNodes(EvenCoordinates(rng, width), EvenCoordinates(rng, height))
             : RectilinearNodes(StrictlyRisingCoordinates(rng, width),
                                StrictlyRisingCoordinates(rng, height));
    std::uniform_real_distribution<float> speed(-100.0f, 100.0f);
    for (GridPoint& node : nodes) {
      node.velocity = {speed(rng), speed(rng), rng() % 2 ? 0.0f : -0.0f};
      if (rng() % 50 == 0) node.velocity.x = odd[rng() % 7];
      if (rng() % 50 == 0) node.velocity.y = odd[rng() % 7];
    }
    const auto field = FlowField::FromNodes(width, height, 1, 2, nodes);
    ASSERT_TRUE(field->IsPlanar()) << trial;

    PlanarSampler sampler(*field);
    auto points = WalkPoints(rng, *field, stepsInCells[trial % 5], 300);
    points.emplace_back(kNaN, 0.0f);
    points.emplace_back(0.0f, kNaN);
    for (const auto& [x, y] : points) {
      SCOPED_TRACE(::testing::Message() << "grid " << trial << " (" << width << " x " << height
                                        << ") at " << x << ", " << y);
      const Vec3 expected = field->VelocityAt(x, y);
      const Vec2 planar = sampler.At(x, y);
      ASSERT_TRUE(SameFloat(planar.x, expected.x)) << planar.x << " vs " << expected.x;
      ASSERT_TRUE(SameFloat(planar.y, expected.y)) << planar.y << " vs " << expected.y;
      ASSERT_EQ(std::bit_cast<uint32_t>(expected.z) & 0x7FFFFFFFu, 0u) << "z not zero";
      ++comparisons;
    }
  }
  EXPECT_GT(comparisons, 150000);
}

TEST(PlanarSamplerTest, OnlyFlatRectilinearGridsWithSoundCellsArePlanar) {
  const std::vector<float> xs = {0, 1, 2.5f, 4};
  const std::vector<float> ys = {0, 2, 3};
  const auto flat = [&](std::vector<GridPoint> nodes) {
    for (GridPoint& node : nodes) node.velocity = {1, 2, 0};
    return nodes;
  };
  EXPECT_TRUE(FlowField::FromNodes(4, 3, 1, 2, flat(RectilinearNodes(xs, ys)))->IsPlanar());

  std::vector<GridPoint> nodes = flat(RectilinearNodes(xs, ys));
  nodes[7].velocity.z = 1e-30f;  // one z that is not zero
  EXPECT_FALSE(FlowField::FromNodes(4, 3, 1, 2, nodes)->IsPlanar());

  nodes = flat(RectilinearNodes(xs, ys));
  nodes[5].position.x = 1.5f;  // row 1 does not keep row 0's x
  EXPECT_FALSE(FlowField::FromNodes(4, 3, 1, 2, nodes)->IsPlanar());

  nodes = flat(RectilinearNodes(xs, ys));
  nodes[6].position.y = 2.5f;  // column 2 does not keep column 0's y
  EXPECT_FALSE(FlowField::FromNodes(4, 3, 1, 2, nodes)->IsPlanar());

  // A cell of no width, whose area is 0, and cells whose weights would overflow.
  EXPECT_FALSE(FlowField::FromNodes(4, 3, 1, 2, flat(RectilinearNodes({0, 1, 1, 4}, ys)))
                   ->IsPlanar());
  EXPECT_FALSE(FlowField::FromNodes(2, 2, 1, 2, flat(RectilinearNodes({0, 1e20f}, {0, 1e20f})))
                   ->IsPlanar());
  EXPECT_FALSE(FlowField::FromNodes(2, 2, 1, 2, flat(RectilinearNodes({0, 1e-20f}, {0, 1e-20f})))
                   ->IsPlanar());
  // Falling axes, and a field without a cell.
  EXPECT_FALSE(FlowField::FromNodes(4, 3, 1, 2, flat(RectilinearNodes({4, 2.5f, 1, 0}, ys)))
                   ->IsPlanar());
  EXPECT_FALSE(FlowField::FromNodes(4, 1, 1, 2, flat(RectilinearNodes(xs, {0})))->IsPlanar());
  // Slices past the first do not matter: only slice 0 is sampled.
  nodes = flat(RectilinearNodes(xs, ys));
  std::vector<GridPoint> deeper = nodes;
  for (GridPoint& node : deeper) node.velocity.z = 5.0f;
  nodes.insert(nodes.end(), deeper.begin(), deeper.end());
  EXPECT_TRUE(FlowField::FromNodes(4, 3, 2, 2, nodes)->IsPlanar());
}

}  // namespace
}  // namespace vortana
