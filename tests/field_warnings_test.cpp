#include "app/field_warnings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace vortana {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::vector<GridPoint> Grid(int width, int height) {
  std::vector<GridPoint> nodes;
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      GridPoint node;
      node.position = {static_cast<float>(c), static_cast<float>(r), 0.0f};
      node.velocity = {1.0f, 0.0f, 0.0f};
      nodes.push_back(node);
    }
  }
  return nodes;
}

TEST(FieldWarnings, NamesDecreasingAxesAndCountsNonFiniteNodes) {
  const std::string xFalls = "x decreases along row 0: streamlines and the background may be wrong";
  const std::string yFalls =
      "y decreases along column 0: streamlines and the background may be wrong";
  struct Case {
    const char* name;
    int width, height;
    std::function<void(std::vector<GridPoint>&)> change;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"sound", 4, 3, [](auto&) {}, {}},
      {"x falls in row 0", 4, 3, [](auto& n) { n[3].position.x = 1.5f; }, {xFalls}},
      // Row 1 is not row 0: the searches read x along row 0 only.
      {"x falls in row 1 only", 4, 3, [](auto& n) { n[7].position.x = 0.5f; }, {}},
      {"y falls in column 0", 4, 3, [](auto& n) { n[8].position.y = 0.5f; }, {yFalls}},
      {"y falls in column 1 only", 4, 3, [](auto& n) { n[9].position.y = 0.5f; }, {}},
      {"both, and one infinite scalar", 4, 3,
       [](auto& n) {
         n[1].position.x = -1.0f;
         n[4].position.y = -1.0f;
         n[11].scalar1 = kInf;
       },
       {xFalls, yFalls, "1 node holds non-finite values"}},
      // 1,204 of 2,500 nodes, each with one NaN somewhere; a NaN x is no decrease.
      {"many NaNs", 50, 50,
       [](auto& n) {
         for (int i = 0; i < 1204; ++i) {
           GridPoint& node = n[static_cast<size_t>(i * 2)];
           (i % 3 == 0 ? node.position.x : i % 3 == 1 ? node.velocity.y : node.scalar0) = kNaN;
         }
       },
       {"1,204 nodes hold non-finite values"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<GridPoint> nodes = Grid(c.width, c.height);
    c.change(nodes);
    const auto field = FlowField::FromNodes(c.width, c.height, 1, 2, std::move(nodes));
    EXPECT_EQ(FieldWarnings(*field), c.expected);
  }
  EXPECT_TRUE(FieldWarnings(FlowField()).empty());
  // Dimensions without nodes, as a header that ends early leaves them: nothing is read.
  for (const auto& [width, height] : {std::pair{5, 0}, {0, 5}}) {
    EXPECT_TRUE(FieldWarnings(*FlowField::FromNodes(width, height, 1, 0, {})).empty());
  }
}

TEST(FieldWarnings, GroupsThousands) {
  const std::pair<long long, const char*> cases[] = {
      {0, "0"}, {999, "999"}, {1000, "1,000"}, {1204, "1,204"}, {1234567, "1,234,567"},
      {-45000, "-45,000"}};
  for (const auto& [count, text] : cases) EXPECT_EQ(GroupedCount(count), text);
}

}  // namespace
}  // namespace vortana
