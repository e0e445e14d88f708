// What the .npz and VTK XML targets share: one input is one file, loaded from memory under a
// name of its kind, at step 0 and, when the source holds more, at its last step. A finding is a
// crash, a sanitizer report, a run that does not end, or a result that breaks a rule below.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "data/byte_source.h"
#include "data/field_reader.h"
#include "data/flow_field.h"

namespace vortana::fuzzing {

inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "format fuzz: %s\n", what);
  std::abort();
}

/// A field from a rectilinear source: every side at least 2 nodes (depth 1), row 0's x and
/// column 0's y rising strictly, as the readers promise; sampling stays inside the array.
inline void CheckField(const FlowField& field) {
  Require(field.Width() >= 2 && field.Height() >= 2 && field.Depth() >= 1, "a side too short");
  const int64_t count = int64_t{field.Width()} * field.Height() * field.Depth();
  Require(static_cast<int64_t>(field.Nodes().size()) == count, "node count differs");
  const auto& nodes = field.Nodes();
  for (int c = 1; c < field.Width(); ++c) {
    Require(nodes[c - 1].position.x < nodes[c].position.x, "x does not rise");
  }
  for (int r = 1; r < field.Height(); ++r) {
    Require(nodes[(r - 1) * field.Width()].position.y < nodes[r * field.Width()].position.y,
            "y does not rise");
  }
  const FieldStatistics& s = field.Stats();
  const float inf = std::numeric_limits<float>::infinity();
  for (const float x : {s.minPosition.x, s.maxPosition.x, 0.0f, inf}) {
    for (const float y : {s.minPosition.y, s.maxPosition.y, -inf}) {
      field.VelocityAt(x, y);
      const GridPoint& node = field.NodeAt(x, y);
      Require(&node >= nodes.data() && &node < nodes.data() + nodes.size(), "NodeAt outside");
    }
  }
}

inline LoadResult LoadChecked(const std::string& name, MemoryStore& store, int step) {
  LoadResult loaded = LoadDataSet(name, store, ReaderSet::Standard(), ReadRequest{step});
  if (!loaded.Ok()) {
    Require(loaded.Field() == nullptr, "a refused source left a field behind");
    Require(loaded.Message().find(name) != std::string::npos, "a failure does not name its file");
    return loaded;
  }
  Require(loaded.Field() != nullptr, "a load gave no field");
  Require(loaded.StepCount() >= 1 && step < loaded.StepCount(), "step count");
  CheckField(*loaded.Field());
  return loaded;
}

inline void FuzzOneFile(const std::string& name, const uint8_t* data, size_t size) {
  MemoryStore store;
  store.Add(name, {data, size});
  const LoadResult first = LoadChecked(name, store, 0);
  if (first.Ok() && first.StepCount() > 1) LoadChecked(name, store, first.StepCount() - 1);
  if (first.Ok()) {
    const LoadResult beyond = LoadChecked(name, store, first.StepCount());
    Require(!beyond.Ok(), "a step beyond the last loaded");
  }
}

}  // namespace vortana::fuzzing
