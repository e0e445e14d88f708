#pragma once

#include <string>

namespace vortana {

class GriddedSteps;

/// Writes the steps as a NetCDF file (64-bit offset format, CF attributes): float32 x(x), y(y),
/// z(z) when HasZ(), u and v (w, pressure, vorticity as held) over ([time,] [z,] y, x), time only
/// when there are several steps. Returns the failure, or nothing.
[[nodiscard]] std::string WriteNetcdfFile(const std::string& target, const GriddedSteps& steps);

/// Writes the steps as np.savez does: an uncompressed zip of x.npy, y.npy (z.npy when HasZ()),
/// u.npy, v.npy (w.npy, pressure.npy, vorticity.npy as held), little-endian float32, each
/// variable of shape ([T,] [D,] H, W), T only when there are several steps. Returns the failure,
/// or nothing.
[[nodiscard]] std::string WriteNpzFile(const std::string& target, const GriddedSteps& steps);

}  // namespace vortana
