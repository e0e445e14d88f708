#include "support/flow_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>

namespace vortana::testing {

namespace {
constexpr std::size_t kHeaderBytes = 40;
}

std::string GridHeaderBytes(const std::string& text) {
  std::string header = text.substr(0, kHeaderBytes);
  header.resize(kHeaderBytes, ' ');
  return header;
}

std::string FloatBytes(std::initializer_list<float> values) {
  return FloatBytes(std::vector<float>(values));
}

std::string FloatBytes(const std::vector<float>& values) {
  std::string bytes;
  bytes.reserve(values.size() * 4);
  for (float value : values) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  }
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  ASSERT_TRUE(out) << "cannot write " << path;
}

std::vector<GridPoint> RectilinearNodes(const std::vector<float>& xs,
                                        const std::vector<float>& ys) {
  std::vector<GridPoint> nodes;
  nodes.reserve(xs.size() * ys.size());
  for (float y : ys) {
    for (float x : xs) {
      GridPoint node;
      node.position = {x, y, 0.0f};
      nodes.push_back(node);
    }
  }
  return nodes;
}

}  // namespace vortana::testing
