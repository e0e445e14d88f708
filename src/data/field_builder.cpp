#include "data/field_builder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <system_error>
#include <iterator>
#include <limits>
#include <utility>

#if defined(__SSE2__) && !defined(VORTANA_NO_SIMD)
#include <emmintrin.h>
#endif

namespace vortana {

namespace {

int16_t ClampToInt16(int value) {
  return static_cast<int16_t>(std::clamp(value, INT16_MIN, INT16_MAX));
}

}  // namespace

int64_t FieldShape::NodeCount() const {
  for (const int dimension : {width, height, depth}) {
    if (dimension < 0 || dimension > kMaxDimension) return -1;
  }
  const int64_t count = int64_t{width} * height * depth;
  return count > INT32_MAX ? -1 : count;
}

FieldBuilder::FieldBuilder(const FieldShape& shape) : field_(std::make_unique<FlowField>()) {
  FlowField& f = *field_;
  f.width_ = static_cast<int16_t>(shape.width);
  f.height_ = static_cast<int16_t>(shape.height);
  f.depth_ = static_cast<int16_t>(shape.depth);
  f.scalarCount_ = ClampToInt16(shape.scalarCount);
  f.spare_ = ClampToInt16(shape.spare);
  f.headerReal_ = shape.real;
  f.fromFilePair_ = shape.fromFilePair;
  f.nodeCount_ = static_cast<int32_t>(shape.NodeCount());
  f.searchIndex_.Start(shape.width, shape.height);
}

GridPoint* FieldBuilder::ReserveNodes() {
  field_->nodes_.reserve(static_cast<std::size_t>(field_->nodeCount_));
  return field_->nodes_.data();
}

void FieldBuilder::Adopt(std::vector<GridPoint>&& nodes) {
  FlowField& f = *field_;
  for (const GridPoint& node : nodes) {
    AddToStatistics(f.stats_, maxSquaredSpeed_, node);
    f.searchIndex_.Add(node);
  }
  f.nodes_ = std::move(nodes);
}

void FieldBuilder::AddNodes(const GridPoint* nodes, std::size_t count) {
  Append(nodes, count);
  Account(nodes, count);
}

void FieldBuilder::Append(const GridPoint* nodes, std::size_t count) {
  field_->nodes_.insert(field_->nodes_.end(), nodes, nodes + count);
}

void FieldBuilder::Account(const GridPoint* nodes, std::size_t count) {
  FlowField& f = *field_;
#if defined(__SSE2__) && !defined(VORTANA_NO_SIMD)
  if (lattice_) {
    // The search index covers slice 0 only: whether its velocities are flat is asked of its
    // nodes alone.
    const std::size_t slice = static_cast<std::size_t>(f.width_) * f.height_;
    const std::size_t first = accounted_ < slice ? std::min(count, slice - accounted_) : 0;
    const bool flat = AccountPacked(nodes, first);
    AccountPacked(nodes + first, count - first);
    accounted_ += count;
    f.searchIndex_.AddLatticeNodes(nodes, count, flat);
    return;
  }
  AccountPacked(nodes, count);
#else
  // The statistics in a local copy, which the compiler keeps in registers (stores into the
  // nodes could otherwise change them, as far as it can tell).
  FieldStatistics stats = f.stats_;
  double maxSquaredSpeed = maxSquaredSpeed_;
  for (std::size_t i = 0; i < count; ++i) AddToStatistics(stats, maxSquaredSpeed, nodes[i]);
  f.stats_ = stats;
  maxSquaredSpeed_ = maxSquaredSpeed;
#endif
  f.searchIndex_.AddNodes(nodes, count);
}

#if defined(__SSE2__) && !defined(VORTANA_NO_SIMD)
// AddToStatistics over a node's two halves at once: (px, py, pz, vx) and (vy, vz, s0, s1).
// MINPS and MAXPS keep their second operand unless the first is strictly smaller (larger), so
// min(node, kept) keeps the extreme on a tie (0 against -0) and on a NaN exactly as the strict
// comparisons do; one chain, in node order, so every tie falls as it does there. The squared
// speed is summed in double in the same order, dx * dx + (dy * dy + dz * dz).
bool FieldBuilder::AccountPacked(const GridPoint* nodes, std::size_t count) {
  static_assert(sizeof(GridPoint) == 32);
  FieldStatistics& s = field_->stats_;
  const float inf = std::numeric_limits<float>::infinity();
  __m128 lowA = _mm_setr_ps(s.minPosition.x, s.minPosition.y, s.minPosition.z, inf);
  __m128 highA = _mm_setr_ps(s.maxPosition.x, s.maxPosition.y, s.maxPosition.z, s.maxVelocity.x);
  __m128 lowB = _mm_setr_ps(inf, inf, s.minScalar0, s.minScalar1);
  __m128 highB = _mm_setr_ps(s.maxVelocity.y, s.maxVelocity.z, s.maxScalar0, s.maxScalar1);
  __m128d fastest = _mm_set_sd(maxSquaredSpeed_);
  __m128 tilted = _mm_setzero_ps();  // lane 1 set once a velocity z is not 0 (or NaN)
  const auto* words = reinterpret_cast<const float*>(nodes);
  for (std::size_t i = 0; i < count; ++i, words += 8) {
    const __m128 a = _mm_loadu_ps(words);
    const __m128 b = _mm_loadu_ps(words + 4);
    lowA = _mm_min_ps(a, lowA);
    highA = _mm_max_ps(a, highA);
    lowB = _mm_min_ps(b, lowB);
    highB = _mm_max_ps(b, highB);
    __m128d yz = _mm_cvtps_pd(b);
    yz = _mm_mul_pd(yz, yz);
    const __m128d dyz = _mm_add_sd(yz, _mm_unpackhi_pd(yz, yz));
    __m128d dx = _mm_cvtss_sd(dyz, _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 3, 3)));
    dx = _mm_mul_sd(dx, dx);
    fastest = _mm_max_sd(_mm_add_sd(dx, dyz), fastest);
    tilted = _mm_or_ps(tilted, _mm_cmpneq_ps(b, _mm_setzero_ps()));
  }
  alignas(16) float low[8], high[8];
  _mm_store_ps(low, lowA);
  _mm_store_ps(low + 4, lowB);
  _mm_store_ps(high, highA);
  _mm_store_ps(high + 4, highB);
  s.minPosition = {low[0], low[1], low[2]};
  s.maxPosition = {high[0], high[1], high[2]};
  s.maxVelocity = {high[3], high[4], high[5]};
  s.minScalar0 = low[6];
  s.minScalar1 = low[7];
  s.maxScalar0 = high[6];
  s.maxScalar1 = high[7];
  maxSquaredSpeed_ = _mm_cvtsd_f64(fastest);
  return (_mm_movemask_ps(tilted) & 2) == 0;
}
#endif

namespace {

/// The nodes of a lattice row one by one, for the node array to make each in its place.
struct LatticeNodes {
  using iterator_category = std::forward_iterator_tag;
  using value_type = GridPoint;
  using difference_type = std::ptrdiff_t;
  using pointer = const GridPoint*;
  using reference = GridPoint;

  const float* xs;
  float y, z;
  const float* const* values;
  std::size_t c;

  GridPoint operator*() const {
    auto at = [&](int k) { return values[k] ? values[k][c] : 0.0f; };
    return {{xs[c], y, z}, {at(0), at(1), at(2)}, at(3), at(4)};
  }
  LatticeNodes& operator++() {
    ++c;
    return *this;
  }
  LatticeNodes operator++(int) {
    LatticeNodes before = *this;
    ++c;
    return before;
  }
  bool operator==(const LatticeNodes& other) const { return c == other.c; }
  difference_type operator-(const LatticeNodes& other) const {
    return static_cast<difference_type>(c) - static_cast<difference_type>(other.c);
  }
};

}  // namespace

void FieldBuilder::AppendLatticeRow(std::size_t count, const float* xs, float y, float z,
                                    const float* const values[5]) {
  field_->nodes_.insert(field_->nodes_.end(), LatticeNodes{xs, y, z, values, 0},
                        LatticeNodes{xs, y, z, values, count});
}

const GridPoint* FieldBuilder::NextNode() const {
  return field_->nodes_.data() + field_->nodes_.size();
}

std::size_t FieldBuilder::Room() const {
  return field_->nodes_.capacity() - field_->nodes_.size();
}

namespace {

/// Set in the published count once no more nodes come.
constexpr std::size_t kLastBatch = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);

}  // namespace

NodeIntake::NodeIntake(FieldBuilder& builder) : builder_(builder) {
  // Below this a second thread costs more than the accounting it takes over.
  constexpr std::size_t kWorthwhile = std::size_t{1} << 20;
  start_ = builder.NextNode();
  if (builder.Room() < kWorthwhile || std::thread::hardware_concurrency() < 2) return;
  try {
    accountant_ = std::thread([this] { Accountant(); });
  } catch (const std::system_error&) {
    // No thread to be had: every Add accounts for its own nodes.
  }
}

NodeIntake::~NodeIntake() { Join(); }

void NodeIntake::Add(const GridPoint* nodes, std::size_t count) {
  if (!accountant_.joinable()) {
    builder_.AddNodes(nodes, count);
    return;
  }
  // Within the reserved array, which therefore never moves under the accountant.
  if (count > builder_.Room()) throw std::length_error("more nodes than reserved");
  builder_.Append(nodes, count);
  added_ += count;
  published_.store(added_, std::memory_order_release);
  published_.notify_one();
}

void NodeIntake::AddLatticeRow(std::size_t count, const float* xs, float y, float z,
                               const float* const values[5]) {
  if (!accountant_.joinable() || count > builder_.Room()) {
    row_.assign(LatticeNodes{xs, y, z, values, 0}, LatticeNodes{xs, y, z, values, count});
    Add(row_.data(), count);
    return;
  }
  builder_.AppendLatticeRow(count, xs, y, z, values);
  added_ += count;
  published_.store(added_, std::memory_order_release);
  published_.notify_one();
}

void NodeIntake::Finish() {
  Join();
  if (failure_) std::rethrow_exception(failure_);
}

void NodeIntake::Join() {
  if (!accountant_.joinable()) return;
  published_.store(added_ | kLastBatch, std::memory_order_release);
  published_.notify_one();
  accountant_.join();
}

void NodeIntake::Accountant() {
  try {
    std::size_t done = 0;
    for (;;) {
      published_.wait(done, std::memory_order_acquire);
      const std::size_t published = published_.load(std::memory_order_acquire);
      const std::size_t ready = published & ~kLastBatch;
      builder_.Account(start_ + done, ready - done);
      done = ready;
      if (published & kLastBatch) return;
    }
  } catch (...) {
    failure_ = std::current_exception();
  }
}

std::unique_ptr<FlowField> FieldBuilder::Finish() {
  field_->stats_.maxSpeed = static_cast<float>(std::sqrt(maxSquaredSpeed_));
  field_->FinishSearchIndex();
  field_->BuildRowOffsets();
  return std::move(field_);
}

}  // namespace vortana
