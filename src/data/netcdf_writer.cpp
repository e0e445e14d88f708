#include <netcdf.h>
#include <netcdf_mem.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "data/array_writers.h"
#include "data/gridded_steps.h"
#include "data/output_file.h"

namespace vortana {

namespace {

/// A failure of libnetcdf, with what was being done.
struct NetcdfError {
  std::string message;
};

void Check(int status, const char* doing) {
  if (status != NC_NOERR) throw NetcdfError{std::string(doing) + ": " + nc_strerror(status)};
}

void PutText(int ncid, int varid, const char* name, const std::string& text) {
  Check(nc_put_att_text(ncid, varid, name, text.size(), text.c_str()), "cannot write attributes");
}

int DefineVariable(int ncid, const char* name, const std::vector<int>& dims, const char* longName,
                   const char* axis = nullptr) {
  int id = -1;
  Check(nc_def_var(ncid, name, NC_FLOAT, static_cast<int>(dims.size()), dims.data(), &id),
        "cannot define variables");
  PutText(ncid, id, "long_name", longName);
  if (axis) PutText(ncid, id, "axis", axis);
  return id;
}

/// The file as bytes in memory, written by libnetcdf.
std::vector<unsigned char> EncodeNetcdf(const GriddedSteps& steps) {
  int ncid = -1;
  Check(nc_create_mem("vortana.nc", NC_64BIT_OFFSET, 1 << 16, &ncid), "cannot create the file");
  struct Closer {
    int id;
    bool open = true;
    ~Closer() {
      if (open) nc_abort(id);
    }
  } closer{ncid};
  // No fill: every value is written, and fill values would otherwise be written first.
  int oldFill = 0;
  Check(nc_set_fill(ncid, NC_NOFILL, &oldFill), "cannot set up the file");
  PutText(ncid, NC_GLOBAL, "Conventions", "CF-1.8");
  PutText(ncid, NC_GLOBAL, "source", "vortana-convert");

  const bool timed = steps.Steps() > 1;
  const bool layered = steps.HasZ();
  int timeDim = -1, zDim = -1, yDim = -1, xDim = -1;
  if (timed) {
    Check(nc_def_dim(ncid, "time", static_cast<std::size_t>(steps.Steps()), &timeDim),
          "cannot define dimensions");
  }
  if (layered) Check(nc_def_dim(ncid, "z", steps.Zs().size(), &zDim), "cannot define dimensions");
  Check(nc_def_dim(ncid, "y", steps.Ys().size(), &yDim), "cannot define dimensions");
  Check(nc_def_dim(ncid, "x", steps.Xs().size(), &xDim), "cannot define dimensions");

  int timeVar = -1;
  if (timed) {
    Check(nc_def_var(ncid, "time", NC_INT, 1, &timeDim, &timeVar), "cannot define variables");
    PutText(ncid, timeVar, "long_name", "time step");
    PutText(ncid, timeVar, "axis", "T");
  }
  const int zVar = layered ? DefineVariable(ncid, "z", {zDim}, "z", "Z") : -1;
  const int yVar = DefineVariable(ncid, "y", {yDim}, "y", "Y");
  const int xVar = DefineVariable(ncid, "x", {xDim}, "x", "X");

  std::vector<int> dims;
  if (timed) dims.push_back(timeDim);
  if (layered) dims.push_back(zDim);
  dims.push_back(yDim);
  dims.push_back(xDim);
  struct Field {
    const char* name;
    const char* longName;
    const std::vector<float>* values;
  };
  std::vector<Field> fields = {{"u", "x velocity", &steps.U()}, {"v", "y velocity", &steps.V()}};
  if (steps.HasW()) fields.push_back({"w", "z velocity", &steps.W()});
  if (steps.ScalarCount() >= 1) fields.push_back({"pressure", "pressure", &steps.Pressure()});
  if (steps.ScalarCount() >= 2) fields.push_back({"vorticity", "vorticity", &steps.Vorticity()});
  std::vector<int> fieldVars;
  for (const Field& field : fields) {
    fieldVars.push_back(DefineVariable(ncid, field.name, dims, field.longName));
  }
  Check(nc_enddef(ncid), "cannot write the header");

  if (timed) {
    std::vector<int> indices(static_cast<std::size_t>(steps.Steps()));
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<int>(i);
    Check(nc_put_var_int(ncid, timeVar, indices.data()), "cannot write time");
  }
  if (layered) Check(nc_put_var_float(ncid, zVar, steps.Zs().data()), "cannot write z");
  Check(nc_put_var_float(ncid, yVar, steps.Ys().data()), "cannot write y");
  Check(nc_put_var_float(ncid, xVar, steps.Xs().data()), "cannot write x");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    Check(nc_put_var_float(ncid, fieldVars[i], fields[i].values->data()),
          "cannot write the values");
  }
  NC_memio memio{};
  closer.open = false;
  Check(nc_close_memio(ncid, &memio), "cannot finish the file");
  const unsigned char* bytes = static_cast<const unsigned char*>(memio.memory);
  std::vector<unsigned char> file(bytes, bytes + memio.size);
  std::free(memio.memory);
  return file;
}

}  // namespace

std::string WriteNetcdfFile(const std::string& target, const GriddedSteps& steps) {
  std::vector<unsigned char> bytes;
  try {
    bytes = EncodeNetcdf(steps);
  } catch (const NetcdfError& error) {
    return "cannot write the NetCDF file " + target + " (" + error.message + ")";
  }
  return WriteWholeFile(
      target, "the NetCDF file",
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace vortana
