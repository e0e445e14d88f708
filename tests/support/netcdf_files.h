#pragma once

#include <netcdf.h>

#include <string>
#include <utility>
#include <vector>

namespace vortana::testing {

/// One variable of a NetCDF file a test writes: its type, dimensions by name, attributes and
/// values (converted by libnetcdf to the type, in the file's order).
struct NcVariable {
  std::string name;
  nc_type type = NC_FLOAT;
  std::vector<std::string> dims;
  std::vector<std::pair<std::string, std::string>> text;
  /// Stored in the variable's type, scale_factor and add_offset in double.
  std::vector<std::pair<std::string, double>> numbers;
  std::vector<double> values;
  /// NetCDF-4 only: chunk sides in the order of `dims` (none: libnetcdf's choice), deflated.
  std::vector<std::size_t> chunks = {};
};

struct NcDimension {
  std::string name;
  std::size_t length = 0;  // 0: the unlimited dimension
};

/// Writes a NetCDF file through libnetcdf directly (format NC_CLASSIC_MODEL, NC_64BIT_OFFSET,
/// NC_NETCDF4, ...); fails the current test when it cannot.
void WriteNetcdf(const std::string& path, int format, const std::vector<NcDimension>& dims,
                 const std::vector<NcVariable>& vars);

}  // namespace vortana::testing
