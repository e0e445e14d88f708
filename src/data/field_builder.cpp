#include "data/field_builder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <system_error>
#include <utility>

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
  // The statistics in a local copy, which the compiler keeps in registers (stores into the
  // nodes could otherwise change them, as far as it can tell).
  FieldStatistics stats = f.stats_;
  double maxSquaredSpeed = maxSquaredSpeed_;
  for (std::size_t i = 0; i < count; ++i) AddToStatistics(stats, maxSquaredSpeed, nodes[i]);
  f.stats_ = stats;
  maxSquaredSpeed_ = maxSquaredSpeed;
  f.searchIndex_.AddNodes(nodes, count);
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
