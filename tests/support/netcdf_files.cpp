#include "support/netcdf_files.h"

#include <gtest/gtest.h>

#include <map>

namespace vortana::testing {

namespace {

#define NC_OK(call) ASSERT_EQ((call), NC_NOERR) << #call << ": " << nc_strerror(call)

void Write(const std::string& path, int format, const std::vector<NcDimension>& dims,
           const std::vector<NcVariable>& vars) {
  int ncid = -1;
  NC_OK(nc_create(path.c_str(), NC_CLOBBER | format, &ncid));
  std::map<std::string, int> dimIds;
  for (const NcDimension& dim : dims) {
    int id = -1;
    NC_OK(nc_def_dim(ncid, dim.name.c_str(), dim.length == 0 ? NC_UNLIMITED : dim.length, &id));
    dimIds[dim.name] = id;
  }
  std::vector<int> varIds;
  for (const NcVariable& var : vars) {
    std::vector<int> ids;
    for (const std::string& name : var.dims) ids.push_back(dimIds.at(name));
    int id = -1;
    NC_OK(nc_def_var(ncid, var.name.c_str(), var.type, static_cast<int>(ids.size()), ids.data(),
                     &id));
    if (!var.chunks.empty()) {
      NC_OK(nc_def_var_chunking(ncid, id, NC_CHUNKED, var.chunks.data()));
      NC_OK(nc_def_var_deflate(ncid, id, 1, 1, 1));
    }
    for (const auto& [name, text] : var.text) {
      NC_OK(nc_put_att_text(ncid, id, name.c_str(), text.size(), text.c_str()));
    }
    for (const auto& [name, value] : var.numbers) {
      // Packing attributes are floating point whatever the data; fill values are of the data.
      const bool packing = name == "scale_factor" || name == "add_offset";
      NC_OK(nc_put_att_double(ncid, id, name.c_str(), packing ? NC_DOUBLE : var.type, 1, &value));
    }
    varIds.push_back(id);
  }
  NC_OK(nc_enddef(ncid));
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const NcVariable& var = vars[i];
    if (var.values.empty()) continue;
    std::vector<std::size_t> start(var.dims.size(), 0);
    std::vector<std::size_t> count;
    std::size_t known = 1;
    for (const std::string& name : var.dims) {
      std::size_t length = 0;
      NC_OK(nc_inq_dimlen(ncid, dimIds.at(name), &length));
      count.push_back(length);
      if (length > 0) known *= length;
    }
    // An unlimited dimension takes as many records as the values fill.
    for (std::size_t& c : count) {
      if (c == 0) c = var.values.size() / known;
    }
    NC_OK(nc_put_vara_double(ncid, varIds[i], start.data(), count.data(), var.values.data()));
  }
  NC_OK(nc_close(ncid));
}

}  // namespace

void WriteNetcdf(const std::string& path, int format, const std::vector<NcDimension>& dims,
                 const std::vector<NcVariable>& vars) {
  Write(path, format, dims, vars);
}

}  // namespace vortana::testing
