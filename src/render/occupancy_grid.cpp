#include "occupancy_grid.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "simd.h"

namespace vortana {
namespace {

/// Whether any of the `count` cells from `cells` is marked. Spans of the hourglass are short
/// (2c cells at most), so a function call per row would cost more than the look itself; here
/// each 16 cells take one load, and the cells read past the span are masked off. Reads up to
/// 15 bytes beyond the span, which the grid's padding keeps inside the buffer.
bool AnyMarked(const uint8_t* cells, size_t count) {
#if VORTANA_SSE2
  const __m128i zero = _mm_setzero_si128();
  for (;;) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells));
    const unsigned unmarked = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero)));
    if (count <= 16) {
      const unsigned wanted = (1u << count) - 1u;  // count is 1 to 16
      return (~unmarked & wanted) != 0;
    }
    if (unmarked != 0xFFFFu) return true;
    cells += 16;
    count -= 16;
  }
#else
  return std::memchr(cells, 1, count) != nullptr;
#endif
}

}  // namespace

OccupancyGrid::OccupancyGrid(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<size_t>(width_) * static_cast<size_t>(height_) + kPadding, 0) {}

void OccupancyGrid::Clear() { std::fill(cells_.begin(), cells_.end(), 0); }  // padding too

void OccupancyGrid::Mark(const std::vector<PixelPoint>& points) {
  for (const PixelPoint& p : points) {
    // A seed is taken into its chain untested, so a chain may start outside the grid.
    if (p.x >= 0 && p.x < width_ && p.y >= 0 && p.y < height_) Set(p.x, p.y);
  }
}

bool OccupancyGrid::IsNeighbourhoodFree(PixelPoint p, int dTest) const {
  if (p.x < 0 || p.x >= width_ || p.y < 0 || p.y >= height_) return false;

  // The hourglass, row by row. Row y - k (k = 1 .. c) examines columns x - k + 1 .. x + k - 2;
  // row y + m (m = 0 .. c - 1) examines x - m - 1 .. x + m. This is the counter d of the
  // original row walk in closed form (d = c - k + 1 above, c - m - 1 from row y down), so rows
  // outside the grid cost nothing and still count, and a huge radius costs no more than the
  // grid's height. 64-bit arithmetic keeps y +- c from overflowing.
  const long long x = p.x;
  const long long y = p.y;
  const long long c = dTest;
  const long long firstRow = std::max(y - c, 0LL);
  const long long lastRow = std::min(y + c - 1, static_cast<long long>(height_) - 1);
  for (long long row = firstRow; row <= lastRow; ++row) {
    long long left;
    long long right;
    if (row < y) {
      const long long k = y - row;
      left = x - k + 1;
      right = x + k - 2;
    } else {
      const long long m = row - y;
      left = x - m - 1;
      right = x + m;
    }
    left = std::max(left, 0LL);
    right = std::min(right, static_cast<long long>(width_) - 1);
    if (left > right) continue;
    const uint8_t* cells = cells_.data() + static_cast<size_t>(row) * width_;
    if (AnyMarked(cells + left, static_cast<size_t>(right - left + 1))) return false;
  }
  return true;
}

}  // namespace vortana
