#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "data/flow_field.h"

namespace vortana {

/// What a reader knows of a field before its nodes: the dimensions and the header values that
/// the field keeps.
struct FieldShape {
  int width = 0;
  int height = 0;
  int depth = 0;
  int scalarCount = 0;
  int spare = 0;
  float real = 0.0f;
  /// The field stands for a grid/data file pair (FlowField::FromFilePair).
  bool fromFilePair = false;

  /// width * height * depth, or -1 when a dimension lies outside 0 to kMaxDimension or the
  /// product is more than a field can count.
  int64_t NodeCount() const;
};

/// Builds a FlowField from nodes handed over one at a time in node order, as every reader does:
/// each node enters the statistics and the search index as it arrives, while it is at hand.
class FieldBuilder {
 public:
  /// Starts an empty field of `shape`, whose NodeCount() must be 0 or more. Throws
  /// std::bad_alloc when memory is short, as do the other members.
  explicit FieldBuilder(const FieldShape& shape);

  /// Reserves the whole node array before the first Add, so that it is allocated once; returns
  /// its start, for a reader that asks the system how to back it.
  GridPoint* ReserveNodes();

  /// Every node at once, instead of Add: the array is taken over, not copied.
  void Adopt(std::vector<GridPoint>&& nodes);

  [[gnu::always_inline]] void Add(const GridPoint& node) {
    FlowField& f = *field_;
    f.nodes_.push_back(node);
    AddToStatistics(f.stats_, maxSquaredSpeed_, node);
    f.searchIndex_.Add(node);
  }

  /// Add for `count` nodes in node order at once, exactly as as many calls of Add would.
  void AddNodes(const GridPoint* nodes, std::size_t count);

  /// The nodes will come in whole rows of a lattice, as NodeIntake::AddLatticeRow makes them:
  /// every row holds the same x values, and one y. The search index then takes a row from its first
  /// node, and the velocities' z from the statistics' pass.
  void ExpectLatticeRows() { lattice_ = true; }

  /// The finished field; the builder is spent. Throws std::bad_alloc when memory is short.
  std::unique_ptr<FlowField> Finish();

 private:
  friend class NodeIntake;
  /// The two halves of AddNodes: taking the nodes in, and entering nodes already taken in
  /// (`count` of them from `nodes`, in node order) into the statistics and the search index.
  void Append(const GridPoint* nodes, std::size_t count);
  void AppendLatticeRow(std::size_t count, const float* xs, float y, float z,
                        const float* const values[5]);
  void Account(const GridPoint* nodes, std::size_t count);
  /// The statistics of `count` nodes; returns whether every velocity z among them is 0.
  bool AccountPacked(const GridPoint* nodes, std::size_t count);
  /// Where the next node goes, and how many more the reserved array holds.
  const GridPoint* NextNode() const;
  std::size_t Room() const;

  // Strict comparisons throughout: a node equal to the current extreme leaves it as it is.
  [[gnu::always_inline]] static void AddToStatistics(FieldStatistics& s, double& maxSquaredSpeed,
                                                     const GridPoint& node) {
    const Vec3& p = node.position;
    const Vec3& v = node.velocity;
    if (p.x < s.minPosition.x) s.minPosition.x = p.x;
    if (p.y < s.minPosition.y) s.minPosition.y = p.y;
    if (p.z < s.minPosition.z) s.minPosition.z = p.z;
    if (p.x > s.maxPosition.x) s.maxPosition.x = p.x;
    if (p.y > s.maxPosition.y) s.maxPosition.y = p.y;
    if (p.z > s.maxPosition.z) s.maxPosition.z = p.z;
    if (v.x > s.maxVelocity.x) s.maxVelocity.x = v.x;
    if (v.y > s.maxVelocity.y) s.maxVelocity.y = v.y;
    if (v.z > s.maxVelocity.z) s.maxVelocity.z = v.z;
    // The fastest speed is the square root of the largest squared length (as Vec3::Length sums
    // it), taken once in Finish: the root rises with its argument and rounding to float keeps
    // the order, so this equals comparing every length against the float kept so far, without
    // a square root per node.
    const double dx = v.x, dy = v.y, dz = v.z;
    const double squared = dx * dx + (dy * dy + dz * dz);
    if (squared > maxSquaredSpeed) maxSquaredSpeed = squared;
    if (node.scalar0 < s.minScalar0) s.minScalar0 = node.scalar0;
    if (node.scalar1 < s.minScalar1) s.minScalar1 = node.scalar1;
    if (node.scalar0 > s.maxScalar0) s.maxScalar0 = node.scalar0;
    if (node.scalar1 > s.maxScalar1) s.maxScalar1 = node.scalar1;
  }

  std::unique_ptr<FlowField> field_;
  double maxSquaredSpeed_ = 0.0;
  bool lattice_ = false;
  std::size_t accounted_ = 0;  // nodes Account has taken
};

/// AddNodes split over two cores for a large field: the reader's thread makes the nodes and
/// appends them, while another thread enters the nodes appended so far into the statistics and
/// the search index, in node order, so that the field is the same as AddNodes would build. A
/// small field, or a system without a second core or thread, takes the nodes as AddNodes does.
class NodeIntake {
 public:
  /// After builder.ReserveNodes(); `builder` must outlive the intake, and Add takes no more
  /// nodes than were reserved.
  explicit NodeIntake(FieldBuilder& builder);
  /// Waits for the other thread (an intake given up early, by an exception in the reader); call
  /// Finish to hear of the other thread's failure.
  ~NodeIntake();
  NodeIntake(const NodeIntake&) = delete;
  NodeIntake& operator=(const NodeIntake&) = delete;

  void Add(const GridPoint* nodes, std::size_t count);
  /// Add of a lattice row: node c at (xs[c], y, z) with velocity (u, v, w) and scalars
  /// (scalar0, scalar1) from values[0..4][c], a null array reading as zeros; each node is made
  /// in its place in the node array.
  void AddLatticeRow(std::size_t count, const float* xs, float y, float z,
                     const float* const values[5]);
  /// After the last Add: waits until every node is accounted for; rethrows what the other thread
  /// threw (std::bad_alloc).
  void Finish();

 private:
  void Join();
  void Accountant();

  FieldBuilder& builder_;
  const GridPoint* start_ = nullptr;  // where the first node added goes in the reserved array
  std::size_t added_ = 0;
  std::atomic<std::size_t> published_{0};
  std::exception_ptr failure_;
  std::thread accountant_;
  std::vector<GridPoint> row_;  // a row made before it is added, without the accountant
};

}  // namespace vortana
