#pragma once

#include <string>
#include <vector>

namespace vortana {

class FlowField;

/// The time steps of a rectilinear field gathered as arrays, as array formats (.nc, .npz) hold
/// them: the axes once, and each variable over steps, slices, rows and columns (columns
/// fastest). Every step must have the first step's grid.
class GriddedSteps {
 public:
  /// Adds a step; returns why it cannot be (a grid that is not rectilinear or differs from the
  /// first step's), or nothing.
  [[nodiscard]] std::string Add(const FlowField& field);

  int Steps() const { return steps_; }
  int ScalarCount() const { return scalarCount_; }
  /// Whether any step has a vertical velocity other than +0 (else w need not be written).
  bool HasW() const { return hasW_; }
  /// Whether the slices' z need writing: more than one slice, or a z other than +0.
  bool HasZ() const;

  const std::vector<float>& Xs() const { return xs_; }
  const std::vector<float>& Ys() const { return ys_; }
  const std::vector<float>& Zs() const { return zs_; }
  const std::vector<float>& U() const { return u_; }
  const std::vector<float>& V() const { return v_; }
  const std::vector<float>& W() const { return w_; }
  const std::vector<float>& Pressure() const { return pressure_; }
  const std::vector<float>& Vorticity() const { return vorticity_; }

 private:
  int steps_ = 0;
  int scalarCount_ = 0;
  bool hasW_ = false;
  std::vector<float> xs_, ys_, zs_;
  std::vector<float> u_, v_, w_, pressure_, vorticity_;
};

}  // namespace vortana
