// The pieces of our own SVG writing: a chain's corners and base64, against hand-worked cases and
// RFC 4648's examples.
#include "render/svg_canvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/chain_corners.h"

namespace vortana {
namespace {

TEST(ChainCorners, KeepsTheTurnsAndEndsOnly) {
  struct Case {
    const char* name;
    std::vector<PixelPoint> chain;
    std::vector<PixelPoint> corners;
  };
  const std::vector<Case> cases = {
      {"empty", {}, {}},
      {"one pixel", {{3, 4}}, {{3, 4}}},
      {"a row", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{0, 0}, {3, 0}}},
      {"a staircase turns at every pixel", {{0, 0}, {1, 0}, {1, 1}, {2, 1}}, {{0, 0}, {1, 0}, {1, 1}, {2, 1}}},
      {"diagonal then down", {{0, 0}, {1, 1}, {2, 2}, {2, 3}, {2, 4}}, {{0, 0}, {2, 2}, {2, 4}}},
      {"back along the same row", {{0, 0}, {1, 0}, {2, 0}, {1, 0}}, {{0, 0}, {2, 0}, {1, 0}}},
      {"repeats add nothing", {{0, 0}, {0, 0}, {1, 0}, {1, 0}, {2, 0}}, {{0, 0}, {2, 0}}},
      {"only repeats", {{5, 5}, {5, 5}}, {{5, 5}}},
      {"a knight's move is its own run", {{0, 0}, {2, 1}, {4, 2}, {5, 2}}, {{0, 0}, {4, 2}, {5, 2}}},
  };
  for (const Case& c : cases) {
    std::vector<PixelPoint> visited;
    const int count = ForEachCorner(c.chain, [&visited](PixelPoint p) { visited.push_back(p); });
    EXPECT_EQ(visited, c.corners) << c.name;
    EXPECT_EQ(count, static_cast<int>(c.corners.size())) << c.name;
  }
}

TEST(SvgCanvas, Base64AsRfc4648) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
  };
  for (const auto& [bytes, text] : cases) {
    std::string out = "x";
    AppendBase64({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, out);
    EXPECT_EQ(out, "x" + text) << bytes;
  }
}

}  // namespace
}  // namespace vortana
