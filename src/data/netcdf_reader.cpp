#include "data/netcdf_reader.h"

#include <netcdf.h>
#include <netcdf_filter.h>
#include <netcdf_mem.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "data/field_builder.h"
#include "data/flow_field.h"
#include "data/large_pages.h"
#include "data/row_gate.h"

namespace vortana {

namespace {

constexpr unsigned char kHdf5Signature[] = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1a, '\n'};

/// Deflate expands at most about 1032 to 1: a filtered variable can hold no more values than
/// that many times the file's bytes justify. Any other variable is stored in the file whole.
constexpr uint64_t kMostInflation = 1032;

/// libnetcdf keeps global state and is not thread-safe; loads on different threads take turns.
std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

/// A failure to be reported: the whole message, which names the file.
struct Refusal {
  std::string message;
};

/// The dataset open in libnetcdf, closed when it goes.
class OpenDataset {
 public:
  explicit OpenDataset(int id) : id_(id) {}
  OpenDataset(const OpenDataset&) = delete;
  OpenDataset& operator=(const OpenDataset&) = delete;
  ~OpenDataset() { nc_close(id_); }
  int Id() const { return id_; }

 private:
  int id_;
};

struct Variable {
  int id = 0;
  std::string name;
  nc_type type = NC_NAT;
  std::vector<int> dims;
  std::string standardName;
  std::string axis;  // upper case
};

struct Dimension {
  std::string name;
  std::size_t length = 0;
  bool unlimited = false;
};

enum class Role { Other, X, Y, Z, T };

/// What the reader found in the file: the variables to read, what each of the velocity's
/// dimensions stands for and the coordinates, flipped to rise where the file has them falling.
struct Layout {
  const Variable* u = nullptr;
  const Variable* v = nullptr;
  const Variable* w = nullptr;
  const Variable* pressure = nullptr;
  const Variable* vorticity = nullptr;
  std::vector<std::size_t> shape;  // u's dimension lengths
  int xAxis = -1;
  int yAxis = -1;
  int zAxis = -1;
  int tAxis = -1;
  std::vector<float> xs;
  std::vector<float> ys;
  std::vector<float> zs;
  bool flipX = false;
  bool flipY = false;
  int steps = 1;
};

/// A text attribute (classic or NetCDF-4 string), or an empty text.
std::string TextAttribute(int ncid, int varid, const char* name) {
  nc_type type = NC_NAT;
  std::size_t length = 0;
  if (nc_inq_att(ncid, varid, name, &type, &length) != NC_NOERR) return {};
  if (type == NC_CHAR && length < 4096) {
    std::string text(length, '\0');
    if (nc_get_att_text(ncid, varid, name, text.data()) != NC_NOERR) return {};
    return text.substr(0, text.find('\0'));
  }
  if (type == NC_STRING && length == 1) {
    char* value = nullptr;
    if (nc_get_att_string(ncid, varid, name, &value) != NC_NOERR) return {};
    std::string text = value ? value : "";
    nc_free_string(1, &value);
    return text;
  }
  return {};
}

/// Numeric attribute values as doubles; none when absent, not numeric or implausibly long.
std::vector<double> NumberAttribute(int ncid, int varid, const char* name) {
  nc_type type = NC_NAT;
  std::size_t length = 0;
  if (nc_inq_att(ncid, varid, name, &type, &length) != NC_NOERR) return {};
  if (type < NC_BYTE || type > NC_UINT64 || type == NC_CHAR || length == 0 || length > 64) {
    return {};
  }
  std::vector<double> values(length);
  const int status = nc_get_att_double(ncid, varid, name, values.data());
  if (status != NC_NOERR && status != NC_ERANGE) return {};
  return values;
}

bool IsNumeric(nc_type type) {
  return type >= NC_BYTE && type <= NC_UINT64 && type != NC_CHAR && type != NC_STRING;
}

std::size_t TypeBytes(nc_type type) {
  switch (type) {
    case NC_BYTE: case NC_UBYTE: case NC_CHAR: return 1;
    case NC_SHORT: case NC_USHORT: return 2;
    case NC_INT: case NC_UINT: case NC_FLOAT: return 4;
    default: return 8;
  }
}

class Inspector {
 public:
  Inspector(int ncid, std::string file, uint64_t fileBytes, const NetcdfVariables& names)
      : ncid_(ncid), file_(std::move(file)), fileBytes_(fileBytes), names_(names) {}

  /// Finds the variables and the grid; throws Refusal.
  Layout Inspect() {
    ReadCatalogue();
    Layout layout;
    ChooseVelocity(layout);
    FindRoles(layout);
    CheckSameShape(layout, layout.v, true);
    layout.pressure = ChooseScalar(layout, names_.pressure, {"air_pressure", "sea_water_pressure"},
                                   {"pressure", "pres"});
    layout.vorticity =
        ChooseScalar(layout, names_.vorticity,
                     {"atmosphere_relative_vorticity", "ocean_relative_vorticity"},
                     {"vorticity", "vort"});
    layout.w = FindVertical(layout);
    CheckStorage(layout);
    ReadCoordinates(layout);
    return layout;
  }

  [[noreturn]] void Refuse(const std::string& what) const { throw Refusal{file_ + ": " + what}; }

  const std::string& File() const { return file_; }
  int Id() const { return ncid_; }

  std::string ShapeText(const Variable& var) const {
    std::string text;
    for (int dim : var.dims) {
      if (!text.empty()) text += " x ";
      text += std::to_string(Dim(dim).length);
    }
    return text.empty() ? "a single value" : text;
  }

 private:
  void Check(int status, const std::string& doing) const {
    if (status != NC_NOERR) Refuse("cannot " + doing + " (" + nc_strerror(status) + ")");
  }

  const Dimension& Dim(int id) const {
    for (const auto& [dimId, dim] : dims_) {
      if (dimId == id) return dim;
    }
    Refuse("a variable names dimension " + std::to_string(id) + ", which the file lacks");
  }

  void ReadCatalogue() {
    int ndims = 0;
    int nvars = 0;
    Check(nc_inq_ndims(ncid_, &ndims), "read the dimensions");
    Check(nc_inq_nvars(ncid_, &nvars), "read the variables");
    if (ndims < 0 || nvars < 0 || static_cast<uint64_t>(ndims) > fileBytes_ ||
        static_cast<uint64_t>(nvars) > fileBytes_) {
      Refuse("the header declares more dimensions or variables than the file could hold");
    }
    std::vector<int> dimIds(static_cast<std::size_t>(ndims));
    Check(nc_inq_dimids(ncid_, &ndims, dimIds.data(), 0), "read the dimensions");
    int nunlimited = 0;
    Check(nc_inq_unlimdims(ncid_, &nunlimited, nullptr), "read the dimensions");
    std::vector<int> unlimited(static_cast<std::size_t>(std::max(nunlimited, 0)));
    Check(nc_inq_unlimdims(ncid_, &nunlimited, unlimited.data()), "read the dimensions");
    for (int id : dimIds) {
      char name[NC_MAX_NAME + 1] = {};
      Dimension dim;
      Check(nc_inq_dim(ncid_, id, name, &dim.length), "read the dimensions");
      dim.name = name;
      dim.unlimited = std::find(unlimited.begin(), unlimited.end(), id) != unlimited.end();
      dims_.emplace_back(id, std::move(dim));
    }
    for (int id = 0; id < nvars; ++id) {
      char name[NC_MAX_NAME + 1] = {};
      Variable var;
      var.id = id;
      int varDims = 0;
      Check(nc_inq_var(ncid_, id, name, &var.type, &varDims, nullptr, nullptr),
            "read the variables");
      if (varDims < 0 || varDims > NC_MAX_VAR_DIMS) {
        Refuse("variable " + std::string(name) + " has too many dimensions");
      }
      var.dims.resize(static_cast<std::size_t>(varDims));
      Check(nc_inq_vardimid(ncid_, id, var.dims.data()), "read the variables");
      var.name = name;
      var.standardName = TextAttribute(ncid_, id, "standard_name");
      var.axis = TextAttribute(ncid_, id, "axis");
      for (char& c : var.axis) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      vars_.push_back(std::move(var));
    }
  }

  const Variable* ByName(const std::string& name) const {
    for (const Variable& var : vars_) {
      if (var.name == name) return &var;
    }
    return nullptr;
  }

  const Variable* ByLowerName(std::string_view lower) const {
    for (const Variable& var : vars_) {
      if (var.dims.size() >= 2 && Lower(var.name) == lower) return &var;
    }
    return nullptr;
  }

  const Variable* ByStandardName(std::string_view standardName) const {
    for (const Variable& var : vars_) {
      if (var.dims.size() >= 2 && var.standardName == standardName) return &var;
    }
    return nullptr;
  }

  std::string FieldVariableList() const {
    std::string list;
    for (const Variable& var : vars_) {
      if (var.dims.size() < 2) continue;
      if (!list.empty()) list += ", ";
      list += var.name;
    }
    return list.empty() ? "none" : list;
  }

  /// The northward partner of an eastward (or x) velocity's standard name, or nothing.
  static std::optional<std::string> NorthwardOf(const std::string& eastward) {
    const bool velocity = eastward.ends_with("_wind") || eastward.ends_with("velocity");
    if (!velocity) return std::nullopt;
    std::string northward = eastward;
    if (const std::size_t at = northward.find("eastward"); at != std::string::npos) {
      return northward.replace(at, 8, "northward");
    }
    if (northward.starts_with("x_")) return northward.replace(0, 2, "y_");
    if (const std::size_t at = northward.find("_x_"); at != std::string::npos) {
      return northward.replace(at, 3, "_y_");
    }
    return std::nullopt;
  }

  std::pair<const Variable*, const Variable*> FindVelocityPair() const {
    for (const Variable& u : vars_) {
      if (u.dims.size() < 2) continue;
      if (const auto northward = NorthwardOf(u.standardName)) {
        if (const Variable* v = ByStandardName(*northward)) return {&u, v};
      }
    }
    static constexpr std::pair<const char*, const char*> kNames[] = {
        {"u", "v"}, {"ua", "va"}, {"uas", "vas"}, {"uo", "vo"}};
    for (const auto& [uName, vName] : kNames) {
      const Variable* u = ByLowerName(uName);
      const Variable* v = ByLowerName(vName);
      if (u && v) return {u, v};
    }
    return {nullptr, nullptr};
  }

  const Variable* Named(const std::string& name, const char* option) const {
    const Variable* var = ByName(name);
    if (!var) {
      Refuse(std::string("there is no variable ") + name + " (named by --" + option +
             "); the variables with two or more dimensions are: " + FieldVariableList());
    }
    return var;
  }

  void ChooseVelocity(Layout& layout) const {
    // A name the user gives wins over what the file's attributes suggest.
    const auto [u, v] = FindVelocityPair();
    layout.u = names_.u.empty() ? u : Named(names_.u, "u");
    layout.v = names_.v.empty() ? v : Named(names_.v, "v");
    if (!layout.u || !layout.v) {
      Refuse("no velocity found (by standard_name, or named u and v, ua and va, uas and vas, "
             "uo and vo); the variables with two or more dimensions are: " +
             FieldVariableList() + " (name them with --u and --v)");
    }
    for (const Variable* var : {layout.u, layout.v}) {
      if (!IsNumeric(var->type)) Refuse("variable " + var->name + " does not hold numbers");
      if (var->dims.size() < 2) {
        Refuse("variable " + var->name + " has " + std::to_string(var->dims.size()) +
               " dimension(s); a velocity needs two or more");
      }
    }
  }

  /// The variable that is the coordinate of dimension `dim` (same name, as CF has it).
  const Variable* CoordinateOf(int dim) const {
    const Variable* var = ByName(Dim(dim).name);
    if (var && var->dims.size() != 1) {
      Refuse("coordinate " + var->name + " has " + std::to_string(var->dims.size()) +
             " dimensions; only grids with 1-D coordinates (rectilinear) load");
    }
    return var;
  }

  static Role RoleOfAttributes(const Variable& var) {
    if (var.axis == "X") return Role::X;
    if (var.axis == "Y") return Role::Y;
    if (var.axis == "Z") return Role::Z;
    if (var.axis == "T") return Role::T;
    const std::string& s = var.standardName;
    if (s == "longitude" || s == "grid_longitude" || s == "projection_x_coordinate") return Role::X;
    if (s == "latitude" || s == "grid_latitude" || s == "projection_y_coordinate") return Role::Y;
    if (s == "time") return Role::T;
    return Role::Other;
  }

  Role RoleOfDimension(int dim) const {
    if (const Variable* coordinate = CoordinateOf(dim)) {
      if (const Role role = RoleOfAttributes(*coordinate); role != Role::Other) return role;
    }
    const Dimension& d = Dim(dim);
    const std::string name = Lower(d.name);
    if (name == "time" || name == "t" || d.unlimited) return Role::T;
    if (name == "lev" || name == "level" || name == "depth" || name == "z") return Role::Z;
    return Role::Other;
  }

  void FindRoles(Layout& layout) const {
    const Variable& u = *layout.u;
    const int n = static_cast<int>(u.dims.size());
    std::vector<Role> roles(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      roles[i] = RoleOfDimension(u.dims[i]);
      layout.shape.push_back(Dim(u.dims[i]).length);
    }
    auto only = [&](Role role, const char* what) {
      int found = -1;
      for (int i = 0; i < n; ++i) {
        if (roles[i] != role) continue;
        if (found >= 0) {
          Refuse("variable " + u.name + " has two " + what + " dimensions, " +
                 Dim(u.dims[found]).name + " and " + Dim(u.dims[i]).name);
        }
        found = i;
      }
      return found;
    };
    layout.xAxis = only(Role::X, "x");
    layout.yAxis = only(Role::Y, "y");
    if (layout.xAxis < 0 || layout.yAxis < 0) {
      // Without attributes the last two dimensions are the horizontal ones, x the last. One
      // axis found by its attributes is not one of them then: it is one dimension too many.
      for (Role& role : roles) {
        if (role == Role::X || role == Role::Y) role = Role::Other;
      }
      if (roles[n - 1] != Role::Other || roles[n - 2] != Role::Other) {
        Refuse("variable " + u.name + " has no horizontal dimensions: its last two are " +
               Dim(u.dims[n - 2]).name + " and " + Dim(u.dims[n - 1]).name);
      }
      layout.xAxis = n - 1;
      layout.yAxis = n - 2;
      roles[n - 1] = Role::X;
      roles[n - 2] = Role::Y;
    }
    layout.zAxis = only(Role::Z, "vertical");
    layout.tAxis = only(Role::T, "time");
    for (int i = 0; i < n; ++i) {
      if (roles[i] == Role::Other && layout.shape[i] != 1) {
        Refuse("variable " + u.name + " has dimension " + Dim(u.dims[i]).name + " of " +
               std::to_string(layout.shape[i]) +
               " values, which is neither time, vertical nor horizontal");
      }
    }
    if (layout.tAxis >= 0) {
      layout.steps = static_cast<int>(std::min<std::size_t>(layout.shape[layout.tAxis], INT_MAX));
      if (layout.steps == 0) Refuse("variable " + u.name + " holds no time steps");
    }
  }

  /// Refuses a variable whose dimensions differ from u's in number or length.
  void CheckSameShape(const Layout& layout, const Variable* var, bool refuse) const {
    if (!var) return;
    bool same = var->dims.size() == layout.shape.size();
    for (std::size_t i = 0; same && i < var->dims.size(); ++i) {
      same = Dim(var->dims[i]).length == layout.shape[i];
    }
    if (!same && refuse) {
      Refuse("variable " + var->name + " has shape " + ShapeText(*var) + "; " + layout.u->name +
             " has " + ShapeText(*layout.u));
    }
  }

  bool SameShape(const Layout& layout, const Variable* var) const {
    if (var->dims.size() != layout.shape.size()) return false;
    for (std::size_t i = 0; i < var->dims.size(); ++i) {
      if (Dim(var->dims[i]).length != layout.shape[i]) return false;
    }
    return IsNumeric(var->type);
  }

  const Variable* ChooseScalar(const Layout& layout, const std::string& named,
                               std::initializer_list<const char*> standardNames,
                               std::initializer_list<const char*> lowerNames) const {
    if (!named.empty()) {
      const Variable* var = Named(named, &named == &names_.pressure ? "pressure" : "vorticity");
      if (!IsNumeric(var->type)) Refuse("variable " + var->name + " does not hold numbers");
      CheckSameShape(layout, var, true);
      return var;
    }
    // Found by name only where it fits; an unrelated variable of that name is left alone.
    for (const char* standardName : standardNames) {
      const Variable* var = ByStandardName(standardName);
      if (var && SameShape(layout, var)) return var;
    }
    for (const char* lowerName : lowerNames) {
      const Variable* var = ByLowerName(lowerName);
      if (var && SameShape(layout, var)) return var;
    }
    return nullptr;
  }

  const Variable* FindVertical(const Layout& layout) const {
    for (const Variable& var : vars_) {
      if (var.standardName.starts_with("upward_") && var.standardName.ends_with("velocity") &&
          SameShape(layout, &var)) {
        return &var;
      }
    }
    for (const char* name : {"w", "wa", "wo"}) {
      const Variable* var = ByLowerName(name);
      if (var && SameShape(layout, var)) return var;
    }
    return nullptr;
  }

  /// Refuses a variable that declares more values than the file's bytes can hold, before
  /// anything is allocated for it.
  void CheckStorage(const Layout& layout) const {
    uint64_t values = 1;
    for (std::size_t i = 0; i < layout.shape.size(); ++i) {
      if (static_cast<int>(i) == layout.tAxis) continue;
      values *= std::max<uint64_t>(layout.shape[i], 1);
      if (values > INT32_MAX) break;
    }
    const std::size_t nx = layout.shape[layout.xAxis];
    const std::size_t ny = layout.shape[layout.yAxis];
    const std::size_t nz = layout.zAxis >= 0 ? layout.shape[layout.zAxis] : 1;
    const std::pair<const char*, std::size_t> sides[] = {{"x", nx}, {"y", ny}, {"z", nz}};
    for (const auto& [what, count] : sides) {
      if (count > static_cast<std::size_t>(kMaxDimension)) {
        Refuse(std::string(what) + " has " + std::to_string(count) + " values, more than " +
               std::to_string(kMaxDimension));
      }
    }
    for (const auto& [what, count] : {sides[0], sides[1]}) {
      if (count < 2) {
        Refuse(std::string(what) + " has " + std::to_string(count) +
               (count == 1 ? " value" : " values") + "; a field needs at least 2 nodes a side");
      }
    }
    if (nz == 0) Refuse("z has no values");
    if (values > INT32_MAX) {
      Refuse(std::to_string(nx) + " x " + std::to_string(ny) + " x " + std::to_string(nz) +
             " nodes are more than a field can hold (" + std::to_string(INT32_MAX) + ")");
    }
    for (const Variable* var :
         {layout.u, layout.v, layout.w, layout.pressure, layout.vorticity}) {
      if (!var) continue;
      int filters = 0;
      std::size_t nfilters = 0;
      if (nc_inq_var_filter_ids(ncid_, var->id, &nfilters, nullptr) == NC_NOERR) {
        filters = static_cast<int>(nfilters);
      }
      const uint64_t bytes = values * TypeBytes(var->type);
      const uint64_t most = fileBytes_ * (filters > 0 ? kMostInflation : 1);
      // HDF5 allocates a whole chunk to read any part of it, at the size the file declares.
      int storage = NC_CONTIGUOUS;
      std::vector<std::size_t> chunk(var->dims.size(), 1);
      if (nc_inq_var_chunking(ncid_, var->id, &storage, chunk.data()) == NC_NOERR &&
          storage == NC_CHUNKED) {
        uint64_t chunkBytes = TypeBytes(var->type);
        for (std::size_t side : chunk) {
          chunkBytes *= std::max<uint64_t>(side, 1);
          if (chunkBytes > fileBytes_ * kMostInflation) {
            Refuse("variable " + var->name + " declares chunks larger than the file could hold");
          }
        }
      }
      if (bytes > most) {
        Refuse("variable " + var->name + " declares " + std::to_string(bytes) +
               " bytes a step; the file holds " + std::to_string(fileBytes_));
      }
    }
  }

  /// A 1-D coordinate for horizontal dimension `axis` of u: the dimension's own coordinate
  /// variable, else a 1-D variable marked as that axis; nothing when the file has neither.
  const Variable* HorizontalCoordinate(const Layout& layout, int axis, Role role,
                                       const char* what) const {
    const int dim = layout.u->dims[axis];
    if (const Variable* own = CoordinateOf(dim)) return own;
    for (const Variable& var : vars_) {
      if (RoleOfAttributes(var) != role) continue;
      if (var.dims.size() != 1) {
        Refuse(var.name + " has " + std::to_string(var.dims.size()) +
               " dimensions (a curvilinear grid); only grids with 1-D coordinates load");
      }
      if (Dim(var.dims[0]).length != layout.shape[axis]) {
        Refuse("variable " + layout.u->name + " has shape " + ShapeText(*layout.u) + "; " +
               var.name + " has " + std::to_string(Dim(var.dims[0]).length) + " values");
      }
      return &var;
    }
    (void)what;
    return nullptr;
  }

  std::vector<float> CoordinateValues(const Variable* var, std::size_t count) const {
    std::vector<float> values(count);
    if (!var) {
      for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<float>(i);
      return values;
    }
    if (!IsNumeric(var->type)) Refuse("coordinate " + var->name + " does not hold numbers");
    std::vector<double> raw(count);
    const std::size_t start = 0;
    const int status = nc_get_vara_double(ncid_, var->id, &start, &count, raw.data());
    if (status != NC_NOERR && status != NC_ERANGE) {
      Refuse("cannot read " + var->name + " (" + nc_strerror(status) + ")");
    }
    Unpack(*var, raw.data(), values.data(), count);
    return values;
  }

  /// Makes an axis rise: a falling one is flipped (reported through `flip`); one that does
  /// neither is refused.
  void MakeRising(std::vector<float>& values, const std::string& name, bool& flip) const {
    const bool rises = std::adjacent_find(values.begin(), values.end(), [](float a, float b) {
                         return !(a < b);
                       }) == values.end();
    const bool falls = std::adjacent_find(values.begin(), values.end(), [](float a, float b) {
                         return !(a > b);
                       }) == values.end();
    if (falls && !rises) {
      std::reverse(values.begin(), values.end());
      flip = true;
    } else if (!rises) {
      Refuse(name + " neither rises nor falls throughout (" + FirstTurn(values) + ")");
    }
  }

  static std::string FirstTurn(const std::vector<float>& values) {
    const bool up = values.size() >= 2 && values[0] < values[1];
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
      const bool ok = up ? values[i] < values[i + 1] : values[i] > values[i + 1];
      if (!ok) {
        return "value " + std::to_string(i) + " is " + Number(values[i]) + ", value " +
               std::to_string(i + 1) + " is " + Number(values[i + 1]);
      }
    }
    return "its values are not distinct";
  }

  static std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
  }

  void ReadCoordinates(Layout& layout) const {
    const Variable* x = HorizontalCoordinate(layout, layout.xAxis, Role::X, "x");
    const Variable* y = HorizontalCoordinate(layout, layout.yAxis, Role::Y, "y");
    layout.xs = CoordinateValues(x, layout.shape[layout.xAxis]);
    layout.ys = CoordinateValues(y, layout.shape[layout.yAxis]);
    MakeRising(layout.xs, x ? x->name : "x", layout.flipX);
    MakeRising(layout.ys, y ? y->name : "y", layout.flipY);
    if (layout.zAxis >= 0) {
      const Variable* z = CoordinateOf(layout.u->dims[layout.zAxis]);
      layout.zs = CoordinateValues(z, layout.shape[layout.zAxis]);
    } else {
      layout.zs = {0.0f};
    }
  }

 public:
  /// Turns stored values into floats: a fill or missing value becomes NaN, and packed values
  /// are unpacked (value x scale_factor + add_offset, in double, rounded once).
  void Unpack(const Variable& var, const double* raw, float* out, std::size_t count) const {
    std::vector<double> missing = NumberAttribute(ncid_, var.id, "_FillValue");
    const std::vector<double> more = NumberAttribute(ncid_, var.id, "missing_value");
    missing.insert(missing.end(), more.begin(), more.end());
    const std::vector<double> scale = NumberAttribute(ncid_, var.id, "scale_factor");
    const std::vector<double> offset = NumberAttribute(ncid_, var.id, "add_offset");
    const double s = scale.empty() ? 1.0 : scale[0];
    const double o = offset.empty() ? 0.0 : offset[0];
    const bool packed = !scale.empty() || !offset.empty();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t i = 0; i < count; ++i) {
      const double value = raw[i];
      if (std::find(missing.begin(), missing.end(), value) != missing.end()) {
        out[i] = nan;
      } else {
        out[i] = static_cast<float>(packed ? value * s + o : value);
      }
    }
  }

  /// Floats stored as floats, unpacked by nothing: only fill and missing values change.
  void MarkMissing(const Variable& var, float* values, std::size_t count) const {
    std::vector<float> missing;
    for (const char* name : {"_FillValue", "missing_value"}) {
      for (double value : NumberAttribute(ncid_, var.id, name)) {
        missing.push_back(static_cast<float>(value));
      }
    }
    if (missing.empty()) return;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t i = 0; i < count; ++i) {
      for (float m : missing) {
        if (values[i] == m) values[i] = nan;
      }
    }
  }

  bool IsPacked(const Variable& var) const {
    for (const char* name : {"scale_factor", "add_offset"}) {
      if (nc_inq_att(ncid_, var.id, name, nullptr, nullptr) == NC_NOERR) return true;
    }
    return false;
  }

 private:
  int ncid_;
  std::string file_;
  uint64_t fileBytes_;
  const NetcdfVariables& names_;
  std::vector<std::pair<int, Dimension>> dims_;
  std::vector<Variable> vars_;
};

/// How many values one step of a variable of u's shape holds (the time dimension left out).
std::size_t StepSize(const Layout& layout) {
  std::size_t total = 1;
  for (std::size_t i = 0; i < layout.shape.size(); ++i) {
    if (static_cast<int>(i) != layout.tAxis) total *= layout.shape[i];
  }
  return total;
}

/// Which part of a step to read: all of it, or rows `firstRow` to `firstRow + rows` of the
/// file's y dimension within slice `slice` of its vertical one (when it has one).
struct StepPart {
  bool whole = true;
  std::size_t slice = 0;
  std::size_t firstRow = 0;
  std::size_t rows = 0;
};

/// Reads `part` of step `step` of `var` as floats into `out`, in u's dimension order.
void ReadStep(const Inspector& inspector, const Layout& layout, const Variable& var, int step,
              float* out, const StepPart& part = {}) {
  const std::size_t n = layout.shape.size();
  std::vector<std::size_t> start(n, 0);
  std::vector<std::size_t> count(layout.shape);
  if (layout.tAxis >= 0) {
    start[layout.tAxis] = static_cast<std::size_t>(step);
    count[layout.tAxis] = 1;
  }
  if (!part.whole) {
    if (layout.zAxis >= 0) {
      start[layout.zAxis] = part.slice;
      count[layout.zAxis] = 1;
    }
    start[layout.yAxis] = part.firstRow;
    count[layout.yAxis] = part.rows;
  }
  std::size_t total = 1;
  for (const std::size_t side : count) total *= side;
  int status = NC_NOERR;
  if (var.type == NC_FLOAT && !inspector.IsPacked(var)) {
    status = nc_get_vara_float(inspector.Id(), var.id, start.data(), count.data(), out);
    if (status == NC_NOERR) inspector.MarkMissing(var, out, total);
  } else {
    std::vector<double> raw;
    ResizeOnLargePages(raw, total);
    status = nc_get_vara_double(inspector.Id(), var.id, start.data(), count.data(), raw.data());
    if (status == NC_NOERR || status == NC_ERANGE) {
      inspector.Unpack(var, raw.data(), out, total);
      status = NC_NOERR;
    }
  }
  if (status != NC_NOERR) {
    inspector.Refuse("cannot read variable " + var.name + " (" + nc_strerror(status) + ")");
  }
}

/// The variables of a step in the order a StepOfField holds them.
std::vector<const Variable*> StepVariables(const Layout& layout) {
  return {layout.u, layout.v, layout.w, layout.pressure, layout.vorticity};
}

/// One step ready to become a field: the rising axes, where node (column c, row r, slice s)
/// lies in the arrays, and the arrays (u and v always; w, pressure and vorticity when read).
struct StepOfField {
  std::span<const float> xs, ys, zs;
  bool flipX = false;
  bool flipY = false;
  std::size_t sx = 0, sy = 0, sz = 0;
  const float* arrays[5] = {};  // u, v, w, pressure, vorticity
  // Set when the arrays are a ring of `ringSlots` bands of `bandRows` rows (x the fastest
  // dimension, then y): band b, in the order ReadBands reads them, lies in slot b % ringSlots,
  // `slotValues` values after the slot before; the arrays then point into slot 0.
  std::size_t bandRows = 0, ringSlots = 0, slotValues = 0;

  /// Where row r (in the field's order) of slice s starts in every array.
  std::size_t RowStart(std::size_t s, std::size_t r) const {
    const std::size_t ny = ys.size();
    const std::size_t fileRow = flipY ? ny - 1 - r : r;
    if (ringSlots == 0) return s * sz + fileRow * sy;
    const std::size_t done = r / bandRows * bandRows;
    const std::size_t rows = std::min(bandRows, ny - done);
    const std::size_t firstRow = flipY ? ny - done - rows : done;
    const std::size_t band = s * ((ny + bandRows - 1) / bandRows) + r / bandRows;
    return band % ringSlots * slotValues + (fileRow - firstRow) * xs.size();
  }
};

/// The axes and strides of `layout`, with no arrays yet; refuses a u whose step does not hold
/// one value a node.
StepOfField Arrange(const Inspector& inspector, const Layout& layout) {
  StepOfField step;
  step.xs = layout.xs;
  step.ys = layout.ys;
  step.zs = layout.zs;
  step.flipX = layout.flipX;
  step.flipY = layout.flipY;
  const std::size_t nodes = layout.xs.size() * layout.ys.size() * layout.zs.size();
  if (StepSize(layout) != nodes) {
    inspector.Refuse("variable " + layout.u->name + " holds " + std::to_string(StepSize(layout)) +
                     " values a step for " + std::to_string(layout.xs.size()) + " x " +
                     std::to_string(layout.ys.size()) + " x " + std::to_string(layout.zs.size()) +
                     " nodes");
  }
  // The element strides of u's dimensions in a step as ReadStep reads it.
  const std::size_t n = layout.shape.size();
  std::vector<std::size_t> strides(n);
  std::size_t stride = 1;
  for (std::size_t i = n; i-- > 0;) {
    strides[i] = stride;
    stride *= static_cast<int>(i) == layout.tAxis ? 1 : layout.shape[i];
  }
  step.sx = strides[layout.xAxis];
  step.sy = strides[layout.yAxis];
  step.sz = layout.zAxis >= 0 ? strides[layout.zAxis] : 0;
  return step;
}

std::unique_ptr<FlowField> BuildField(const StepOfField& step, RowGate* gate = nullptr) {
  const int nx = static_cast<int>(step.xs.size());
  const int ny = static_cast<int>(step.ys.size());
  const int nz = static_cast<int>(step.zs.size());
  const float* u = step.arrays[0];
  const float* v = step.arrays[1];
  const float* w = step.arrays[2];
  const float* p = step.arrays[3];
  const float* q = step.arrays[4];
  const int scalarCount = q ? 2 : p ? 1 : 0;
  FieldBuilder builder(FieldShape{nx, ny, nz, scalarCount, 0, 0.0f});
  const std::size_t nodeBytes = std::size_t{1} * nx * ny * nz * sizeof(GridPoint);
  GridPoint* nodes = builder.ReserveNodes();
  AskForLargePages(nodes, nodeBytes);
  const PagesMappedAhead mapped(nodes, nodeBytes);
  builder.ExpectLatticeRows();
  NodeIntake intake(builder);
  std::vector<GridPoint> buffer(static_cast<std::size_t>(nx));
  for (int s = 0; s < nz; ++s) {
    for (int r = 0; r < ny; ++r) {
      if (gate) gate->Await(static_cast<std::size_t>(s) * ny + r + 1);
      const std::size_t row =
          step.RowStart(static_cast<std::size_t>(s), static_cast<std::size_t>(r));
      if (step.sx == 1 && !step.flipX) {
        const float* const values[5] = {u + row, v + row, w ? w + row : nullptr,
                                        p ? p + row : nullptr, q ? q + row : nullptr};
        intake.AddLatticeRow(buffer.size(), step.xs.data(), step.ys[r], step.zs[s], values);
        continue;
      }
      for (int c = 0; c < nx; ++c) {
        const std::size_t k =
            row + static_cast<std::size_t>(step.flipX ? nx - 1 - c : c) * step.sx;
        GridPoint& node = buffer[static_cast<std::size_t>(c)];
        node.position = {step.xs[c], step.ys[r], step.zs[s]};
        node.velocity = {u[k], v[k], w ? w[k] : 0.0f};
        node.scalar0 = p ? p[k] : 0.0f;
        node.scalar1 = q ? q[k] : 0.0f;
      }
      intake.Add(buffer.data(), buffer.size());
    }
  }
  intake.Finish();
  return builder.Finish();
}

/// The refusal of a step the file does not hold.
std::string NoSuchStep(const std::string& path, int steps, int step) {
  const std::string holds = steps == 1 ? "one time step" : std::to_string(steps) + " time steps";
  return path + " holds " + holds + ", not step " + std::to_string(step);
}

/// Walks a classic header ("CDF" 1, 2 or 5) and checks every count and length it declares
/// against the bytes that follow: libnetcdf allocates what a header declares before it looks
/// whether the file holds that much (a name of 10^13 characters in a 500-byte file), and copies
/// names longer than NC_MAX_NAME past the end of the caller's buffer. `bytes` may be the start of
/// a file of `fileSize` bytes; once the header lies whole within it, every variable's values
/// must lie within the file too: libnetcdf reads a file short of them as zeros (from memory it
/// refuses them), and a cut file is damaged, not a field of zeros. Returns the fault, or
/// nothing; an HDF5 file is left to the library.
constexpr const char* kDamagedHeader = "the header is damaged or declares more than the file holds";

std::string CheckClassicHeader(std::span<const unsigned char> bytes, uint64_t fileSize) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "CDF", 3) != 0) return {};
  const int version = bytes[3];
  if (version != 1 && version != 2 && version != 5) return {};
  const std::size_t countBytes = version == 5 ? 8 : 4;
  std::size_t at = 4;
  bool fault = false;
  auto number = [&](std::size_t width) -> uint64_t {
    if (fault || bytes.size() - at < width) {
      fault = true;
      return 0;
    }
    uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes[at + i];
    at += width;
    return value;
  };
  // Skips `count` items of `size` bytes, padded to 4; fails when the file is shorter.
  auto skip = [&](uint64_t count, uint64_t size) {
    const uint64_t left = bytes.size() - at;
    if (fault || (size != 0 && count > left / size)) {
      fault = true;
      return;
    }
    const uint64_t length = (count * size + 3) / 4 * 4;
    if (length > left) {
      fault = true;
      return;
    }
    at += static_cast<std::size_t>(length);
  };
  auto typeBytes = [&](uint64_t type) -> uint64_t {
    static constexpr uint64_t kSizes[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
    if (type == 0 || type > (version == 5 ? 11u : 6u)) {
      fault = true;
      return 1;
    }
    return kSizes[type];
  };
  // A list's count cannot exceed the bytes left: every item takes at least one.
  auto count = [&]() {
    const uint64_t n = number(countBytes);
    if (n > bytes.size() - at) fault = true;
    return fault ? 0 : n;
  };
  // libnetcdf copies a name whole into the caller's buffer of NC_MAX_NAME + 1 bytes.
  auto name = [&]() {
    const uint64_t length = number(countBytes);
    if (length > NC_MAX_NAME) fault = true;
    skip(length, 1);
  };
  auto attributes = [&]() {
    number(4);
    for (uint64_t n = count(), i = 0; i < n && !fault; ++i) {
      name();
      const uint64_t size = typeBytes(number(4));
      skip(number(countBytes), size);
    }
  };
  // Where each variable's values lie: a fixed one's from its start, a record variable's in
  // every record, records following each other at the sum of the record variables' sizes.
  struct Extent {
    uint64_t start = 0;
    uint64_t bytes = 0;  // one record's worth for a record variable
    bool record = false;
  };
  // Sizes beyond the file are of no interest and are held at this, so that no product overflows.
  const uint64_t beyond = fileSize + 1;
  auto times = [&](uint64_t a, uint64_t b) {
    return b != 0 && a > beyond / b ? beyond : std::min(a * b, beyond);
  };
  const uint64_t records = number(countBytes);
  number(4);  // dimension tag
  std::vector<uint64_t> lengths;
  for (uint64_t n = count(), i = 0; i < n && !fault; ++i) {
    name();
    lengths.push_back(number(countBytes));
  }
  attributes();
  number(4);  // variable tag
  std::vector<Extent> extents;
  for (uint64_t n = count(), i = 0; i < n && !fault; ++i) {
    name();
    Extent extent;
    extent.bytes = 1;
    const uint64_t rank = number(countBytes);
    if (rank > bytes.size() - at) fault = true;
    for (uint64_t d = 0; d < rank && !fault; ++d) {
      const uint64_t id = number(countBytes);
      if (id >= lengths.size()) {
        fault = true;
      } else if (d == 0 && lengths[id] == 0) {
        extent.record = true;  // the record dimension, whose length is the record count
      } else {
        extent.bytes = times(extent.bytes, lengths[id]);
      }
    }
    attributes();
    extent.bytes = times(extent.bytes, typeBytes(number(4)));
    number(countBytes);  // vsize, which libnetcdf computes again
    extent.start = number(version == 1 ? 4 : 8);
    extents.push_back(extent);
  }
  if (fault) return kDamagedHeader;
  // Each record variable's part of a record is padded to 4 bytes, unless it is the only one.
  uint64_t recordBytes = 0;
  const auto recordVariables = std::count_if(extents.begin(), extents.end(),
                                             [](const Extent& e) { return e.record; });
  for (const Extent& e : extents) {
    if (!e.record) continue;
    recordBytes += recordVariables == 1 ? e.bytes : std::min(beyond, (e.bytes + 3) / 4 * 4);
  }
  // A record count of all ones is a file still being written: libnetcdf counts its records.
  const bool streaming = records == (countBytes == 8 ? ~uint64_t{0} : uint64_t{0xFFFFFFFF});
  for (const Extent& e : extents) {
    uint64_t end = 0;  // a record variable without records has no values
    if (!e.record) {
      end = e.bytes >= beyond || e.start > fileSize ? beyond : e.start + e.bytes;
    } else if (records > 0 && !streaming) {
      const uint64_t before = times(records - 1, std::min(recordBytes, beyond));
      const bool outside = e.start > fileSize || before >= beyond || e.bytes >= beyond;
      end = outside ? beyond : e.start + before + e.bytes;
    }
    if (end > fileSize) return "the header declares values beyond the end of the file";
  }
  return {};
}

/// Where libnetcdf reads an input from: the opened file itself, which it reads as far as the
/// variables asked for need (one step of a long series costs that step), or the input's bytes in
/// memory (an input that is no file).
struct NetcdfInput {
  std::unique_ptr<ByteSource> source;  // kept open while libnetcdf opens it by its system path
  uint64_t size = 0;
  std::string systemPath;
  std::vector<unsigned char> bytes;  // the whole input, when it has no system path
  bool hdf5 = false;                 // no classic header: a NetCDF-4 file, read by libhdf5
};

/// Opens `path` and checks its header before libnetcdf sees it. From a file the header is read
/// in growing prefixes until CheckClassicHeader finds it whole within one (or the prefix is the
/// whole file), so that a header declaring more than the file holds is refused unread.
std::optional<NetcdfInput> OpenInput(const std::string& path, ByteStore& store,
                                     std::string& error) {
  NetcdfInput input;
  input.source = store.Open(path, error);
  if (!input.source) return std::nullopt;
  ByteSource* source = input.source.get();
  input.size = source->Size();
  if (input.size < 4) {
    error = path + " holds " + std::to_string(input.size) + " bytes, too few for a NetCDF file";
    return std::nullopt;
  }
  if (input.size > std::numeric_limits<std::size_t>::max() / 2) {
    error = path + " is too large to read";
    return std::nullopt;
  }
  input.systemPath = source->SystemPath();
  const std::size_t size = static_cast<std::size_t>(input.size);
  std::vector<unsigned char> head;
  std::vector<unsigned char>& read = input.systemPath.empty() ? input.bytes : head;
  for (std::size_t prefix = input.systemPath.empty() ? size : std::min<std::size_t>(size, 1 << 16);;
       prefix = std::min(size, prefix * 4)) {
    read.resize(prefix);
    error = source->Seek(0);
    if (error.empty()) error = source->ReadExactly(read.data(), prefix);
    if (!error.empty()) return std::nullopt;
    const std::string fault = CheckClassicHeader(read, input.size);
    if (fault.empty()) {
      // libhdf5 also finds its signature past a user block, at 512, 1024, ... bytes.
      input.hdf5 = std::memcmp(read.data(), "CDF", 3) != 0;
      break;
    }
    // Only a header cut short by the prefix is read further.
    if (prefix == size || fault != kDamagedHeader) {
      error = path + " cannot be read as a NetCDF file (" + fault + ")";
      return std::nullopt;
    }
  }
  return input;
}

/// Rows a band: about kBandValues values, and whole chunks along y so that no chunk is inflated
/// twice. Nothing (the whole step at once) when a band would not lie in one piece of the step
/// (x is not the file's last dimension, or y not the one before it), or when the chunks are too
/// tall to make more than one band.
std::size_t BandRows(const Inspector& inspector, const Layout& layout, const StepOfField& step) {
  const std::size_t nx = step.xs.size();
  const std::size_t ny = step.ys.size();
  if (step.sx != 1 || step.sy != nx || (step.zs.size() > 1 && step.sz != nx * ny)) return 0;
  std::size_t chunkRows = 1;
  for (const Variable* var : StepVariables(layout)) {
    if (!var) continue;
    int storage = NC_CONTIGUOUS;
    std::vector<std::size_t> chunk(var->dims.size(), 1);
    if (nc_inq_var_chunking(inspector.Id(), var->id, &storage, chunk.data()) == NC_NOERR &&
        storage == NC_CHUNKED) {
      chunkRows = std::max(chunkRows, chunk[layout.yAxis]);
    }
  }
  const std::size_t wanted = std::max<std::size_t>(1, kBandValues / nx);
  const std::size_t rows = (wanted + chunkRows - 1) / chunkRows * chunkRows;
  return rows < ny ? rows : 0;
}

/// Where ReadBands puts values [offset, offset + count) of array k of a step (u's dimension
/// order): Room says where to read them, Filled follows once they are there.
class StepSink {
 public:
  virtual ~StepSink() = default;
  virtual float* Room(std::size_t k, std::size_t offset, std::size_t count) = 0;
  virtual void Filled(std::size_t /*k*/, std::size_t /*offset*/, std::size_t /*count*/) {}
};

/// Into arrays of a whole step each.
class ArraysSink final : public StepSink {
 public:
  explicit ArraysSink(float* const arrays[5]) : arrays_(arrays) {}
  float* Room(std::size_t k, std::size_t offset, std::size_t) override {
    return arrays_[k] + offset;
  }

 private:
  float* const* arrays_;
};

/// Reads step `step` of the layout's variables in bands of `bandRows` rows (whole, when 0) into
/// `sink`, in the order BuildField takes the rows, calling `rowsIn(n)` whenever the first n node
/// rows are in; stops early when `stop` says so.
template <typename RowsIn, typename Stop>
void ReadBands(const Inspector& inspector, const Layout& layout, const StepOfField& arranged,
               int step, std::size_t bandRows, StepSink& sink, RowsIn rowsIn, Stop stop) {
  const std::vector<const Variable*> vars = StepVariables(layout);
  const std::size_t nx = arranged.xs.size(), ny = arranged.ys.size(), nz = arranged.zs.size();
  if (bandRows == 0) {
    const std::size_t count = StepSize(layout);
    for (std::size_t k = 0; k < vars.size(); ++k) {
      if (!vars[k]) continue;
      ReadStep(inspector, layout, *vars[k], step, sink.Room(k, 0, count));
      sink.Filled(k, 0, count);
    }
    rowsIn(ny * nz);
    return;
  }
  // From the file's last row when y falls in it.
  for (std::size_t slice = 0; slice < nz; ++slice) {
    for (std::size_t done = 0; done < ny;) {
      if (stop()) return;
      const std::size_t rows = std::min(bandRows, ny - done);
      const std::size_t firstRow = arranged.flipY ? ny - done - rows : done;
      const StepPart part{false, slice, firstRow, rows};
      const std::size_t offset = slice * arranged.sz + firstRow * nx;
      for (std::size_t k = 0; k < vars.size(); ++k) {
        if (!vars[k]) continue;
        ReadStep(inspector, layout, *vars[k], step, sink.Room(k, offset, rows * nx), part);
        sink.Filled(k, offset, rows * nx);
      }
      done += rows;
      rowsIn(slice * ny + done);
    }
  }
}

/// Opens the dataset of `input` in libnetcdf (the caller holds the library lock): the checked
/// file itself, or its bytes from memory when it is no file or one the library cannot open
/// itself (HDF5 locks its files, which some network file systems refuse). Returns the id, or -1
/// with `error` set.
int OpenInLibrary(NetcdfInput& input, const std::string& path, std::string& error) {
  int ncid = -1;
  // libnetcdf reads a classic file through a buffer of this size; a band of a step (about a
  // megabyte a variable) costs least through a small one (a 2048 x 2048 load took 51 ms through
  // 4 MiB, 63 through 16 MiB, 41 to 45 through 64 KiB).
  std::size_t chunkHint = std::size_t{64} << 10;
  int status = input.systemPath.empty()
                   ? NC_ENOTNC
                   : nc__open(input.systemPath.c_str(), NC_NOWRITE, &chunkHint, &ncid);
  if (status != NC_NOERR) {
    if (input.bytes.size() != input.size) {
      try {
        input.bytes.resize(static_cast<std::size_t>(input.size));
      } catch (const std::bad_alloc&) {
        error = "there is not enough memory to read " + path;
        return -1;
      }
      error = input.source->Seek(0);
      if (error.empty()) error = input.source->ReadExactly(input.bytes.data(), input.bytes.size());
      if (!error.empty()) return -1;
    }
    status = nc_open_mem(path.c_str(), NC_NOWRITE, input.bytes.size(), input.bytes.data(), &ncid);
  }
  if (status != NC_NOERR) {
    error = path + " cannot be read as a NetCDF file (" + nc_strerror(status) + ")";
    return -1;
  }
  return ncid;
}

/// Loads step `step` of the open dataset `ncid` in this process.
LoadResult LoadOpened(int ncid, const std::string& path, uint64_t fileBytes,
                      const NetcdfVariables& names, int step) {
  const OpenDataset dataset(ncid);
  try {
    Inspector inspector(ncid, path, fileBytes, names);
    const Layout layout = inspector.Inspect();
    if (step < 0 || step >= layout.steps) {
      LoadResult refused = LoadResult::Failed(path, NoSuchStep(path, layout.steps, step));
      refused.SetStepCount(layout.steps);
      return refused;
    }
    StepOfField arranged = Arrange(inspector, layout);
    const std::vector<const Variable*> vars = StepVariables(layout);
    std::vector<float> values[5];
    float* arrays[5] = {};
    for (std::size_t k = 0; k < vars.size(); ++k) {
      if (!vars[k]) continue;
      ResizeOnLargePages(values[k], StepSize(layout));
      arrays[k] = values[k].data();
      arranged.arrays[k] = arrays[k];
    }
    // A large step is read band by band on another thread while this one builds the rows in
    // (libnetcdf is ours alone meanwhile: the caller holds the library lock).
    const std::size_t bandRows =
        WorthReadingInBands(StepSize(layout)) ? BandRows(inspector, layout, arranged) : 0;
    ArraysSink sink(arrays);
    std::unique_ptr<FlowField> field;
    if (bandRows == 0) {
      ReadBands(
          inspector, layout, arranged, step, 0, sink, [](std::size_t) {}, [] { return false; });
      field = BuildField(arranged);
    } else {
      field = BuildWhileReading(
          [&](ThreadRows& rows) {
            ReadBands(inspector, layout, arranged, step, bandRows, sink,
                      [&](std::size_t in) { rows.RowsIn(in); }, [&] { return rows.Stopped(); });
          },
          [&](RowGate* gate) { return BuildField(arranged, gate); });
    }
    LoadResult loaded = LoadResult::Loaded(std::move(field));
    loaded.SetStepCount(layout.steps);
    return loaded;
  } catch (const Refusal& refusal) {
    return LoadResult::Failed(path, refusal.message);
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(path, "there is not enough memory to read " + path);
  } catch (const ThreadRows::Ended&) {
    return LoadResult::Failed(path, path + " cannot be read: its values stopped short");
  }
}

// A NetCDF-4 file is read by libhdf5, which trusts what a damaged file declares: Debian's 1.10
// loops for ever on some (a global heap of vlen attribute values), copies a heap object past its
// buffer or reads values past theirs on others. Such a file is read in a child process, which
// hands the step over through shared memory, so that the damage ends the child and becomes a
// refusal here; this process never runs libhdf5 on the file. The child reads the step in bands
// of rows and this process builds each row as soon as its band is in, so that reading and
// building overlap; the bands pass through a ring of a few slots, which the child fills again
// once the rows of the band in a slot are built.

/// The processor time a child may spend on the header, and the slowest reading of values it is
/// allowed beyond that (deflate inflates hundreds of MB a second).
constexpr rlim_t kHeaderSeconds = 2;
constexpr uint64_t kSlowestBytesPerSecond = uint64_t{16} << 20;

/// How the child ends when it cannot write its account.
constexpr int kChildShortOfMemory = 3;
constexpr int kChildFailed = 4;

/// What a child writes at the start of the shared memory. The axes (xs, ys, zs) follow it, the
/// arrays start at the next page, one step of each variable read (or, for a step read in bands,
/// a ring of `ringSlots` slots, each a band of every variable read), and a refusal's message
/// lies at `messageAt`.
struct ChildAccount {
  static constexpr uint64_t kMagic = 0x3144414552434e56;  // "VNCREAD1"
  uint64_t magic = 0;
  uint32_t phase = 0;     // 0 the header, 1 the values (the fields below are set), 2 done
  uint32_t rowsIn = 0;    // node rows whose values are in, in the order BuildField takes them
  uint32_t loaded = 0;
  uint32_t stepRefused = 0;
  uint32_t present = 0;  // bit k: array k of StepOfField is read
  uint32_t flipX = 0, flipY = 0;
  int64_t steps = 0;
  uint64_t messageAt = 0, messageBytes = 0;
  uint64_t nx = 0, ny = 0, nz = 0;
  uint64_t sx = 0, sy = 0, sz = 0;
  uint64_t bandRows = 0, ringSlots = 0;
  // Written by the parent: node rows it has built, which the child may overwrite in the ring;
  // `childWaits` is set while the child waits for that count to rise.
  uint32_t rowsUsed = 0;
  uint32_t childWaits = 0;
};

/// The slots of a ring: bands the child may read ahead of the rows being built. Slots are
/// written again and again, so that the kernel makes few fresh shared pages (which cost a
/// child writing a whole step most of its time).
constexpr uint64_t kRingSlots = 4;

uint64_t PageBytes() { return static_cast<uint64_t>(sysconf(_SC_PAGESIZE)); }

uint64_t ArraysOffset(uint64_t axisValues) {
  const uint64_t page = PageBytes();
  const uint64_t end = sizeof(ChildAccount) + axisValues * sizeof(float);
  return (end + page - 1) / page * page;
}

void LimitProcessorTime(rlim_t seconds) {
  rlimit limit{};
  getrlimit(RLIMIT_CPU, &limit);
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? seconds : std::min(seconds, limit.rlim_max);
  setrlimit(RLIMIT_CPU, &limit);
}

/// A word both processes see: one stores and wakes, the other waits for a change.
void Publish(uint32_t& word, uint32_t value) {
  std::atomic_ref<uint32_t>(word).store(value, std::memory_order_release);
  syscall(SYS_futex, &word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

uint32_t Seen(uint32_t& word) {
  return std::atomic_ref<uint32_t>(word).load(std::memory_order_acquire);
}

/// Waits up to 20 ms for `word` to differ from `value`.
void AwaitChange(uint32_t& word, uint32_t value) {
  const timespec wait{0, 20'000'000};
  syscall(SYS_futex, &word, FUTEX_WAIT, value, &wait, nullptr, 0);
}

bool WriteAt(int fd, const void* data, std::size_t bytes, uint64_t offset) {
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t wrote = pwrite(fd, at, bytes, static_cast<off_t>(offset));
    if (wrote <= 0) {
      if (wrote < 0 && errno == EINTR) continue;
      return false;
    }
    at += wrote;
    bytes -= static_cast<std::size_t>(wrote);
    offset += static_cast<uint64_t>(wrote);
  }
  return true;
}

}  // namespace
}  // namespace vortana

// Under a sanitizer (the fuzzer's build) a fault the sanitizer finds in the child should end the
// child only, not report itself as the parent's.
extern "C" [[gnu::weak]] void __sanitizer_set_death_callback(void (*callback)());

namespace vortana {
namespace {

/// The child's sink. A ring's slots are written again and again: libhdf5 reads each band
/// straight into its slot, mapped here too. A whole step is read band by band into one buffer
/// of the child's own, which stays in the cache, and written into the shared memory from there:
/// the kernel then fills fresh pages without a page fault and a clearing each, as writing
/// through a mapping would take.
class SharedSink final : public StepSink {
 public:
  /// `count` values an array: a whole step's, or a band's when the arrays form a ring.
  SharedSink(int fd, ChildAccount& account, uint64_t arraysAt, uint64_t count, uint32_t present)
      : fd_(fd), account_(account), arraysAt_(arraysAt), count_(count), present_(present),
        parent_(getppid()) {
    if (account.ringSlots > 0) {
      const std::size_t bytes =
          account.ringSlots * std::popcount(present) * count * sizeof(float);
      void* at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                      static_cast<off_t>(arraysAt));
      if (at != MAP_FAILED) ring_ = static_cast<float*>(at);
    }
  }
  float* Room(std::size_t k, std::size_t, std::size_t count) override {
    if (ring_ != nullptr) return ring_ + SlotAt(k);
    if (buffer_.size() < count) ResizeOnLargePages(buffer_, count);
    return buffer_.data();
  }
  void Filled(std::size_t k, std::size_t offset, std::size_t count) override {
    if (ring_ != nullptr) return;
    // Array k lies after the arrays read before it, in the step or in the band's slot.
    const uint64_t at = account_.ringSlots > 0 ? SlotAt(k) : Ordinal(k) * count_ + offset;
    if (!WriteAt(fd_, buffer_.data(), count * sizeof(float), arraysAt_ + at * sizeof(float))) {
      _exit(kChildShortOfMemory);
    }
  }
  /// A band is in: the first `rows` node rows.
  void BandIn(uint32_t rows) {
    if (ring_ != nullptr) {
      // The parent reads what libhdf5 wrote through the mapping once it sees the count.
      std::atomic_thread_fence(std::memory_order_release);
    }
    if (account_.ringSlots > 0) rowsAfter_[bands_ % account_.ringSlots] = rows;
    ++bands_;
    Publish(account_.rowsIn, rows);
  }

 private:
  /// Waits until the parent has built `rows` rows, so that the slot of the band ending there
  /// may be written again; ends the child when the parent has gone.
  void AwaitRowsUsed(uint32_t rows) {
    std::atomic_ref<uint32_t> used(account_.rowsUsed);
    std::atomic_ref<uint32_t> waits(account_.childWaits);
    for (;;) {
      waits.store(1);
      const uint32_t seen = used.load();
      if (seen >= rows) break;
      const timespec wait{0, 20'000'000};
      syscall(SYS_futex, &account_.rowsUsed, FUTEX_WAIT, seen, &wait, nullptr, 0);
      if (getppid() != parent_) _exit(kChildFailed);
    }
    waits.store(0);
  }

  uint64_t Ordinal(std::size_t k) const {
    return static_cast<uint64_t>(std::popcount(present_ & ((1u << k) - 1)));
  }

  /// Where array k of the current band goes in the ring, once the parent is done with the band
  /// the slot held before.
  uint64_t SlotAt(std::size_t k) {
    const uint64_t slots = account_.ringSlots;
    if (bands_ >= slots && awaited_ != bands_) {
      AwaitRowsUsed(rowsAfter_[(bands_ - slots) % slots]);
      awaited_ = bands_;
    }
    return (bands_ % slots * std::popcount(present_) + Ordinal(k)) * count_;
  }

  int fd_;
  ChildAccount& account_;
  uint64_t arraysAt_;
  uint64_t count_;
  uint32_t present_;
  pid_t parent_;
  float* ring_ = nullptr;  // the ring mapped, when it is
  uint64_t bands_ = 0;
  uint64_t awaited_ = UINT64_MAX;
  uint32_t rowsAfter_[kRingSlots] = {};
  std::vector<float> buffer_;
};

/// The child's work: opens, inspects and reads step `step` into the shared memory `fd`, whose
/// first page `account` is, then ends.
[[noreturn]] void LoadInChild(int fd, ChildAccount& account, NetcdfInput& input,
                              const std::string& path, const NetcdfVariables& names, int step) {
  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(nullptr);
  // A fault ends the child with its signal, for the parent to report; no handler the program
  // (or a fuzzer) installed speaks for it.
  for (const int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGXCPU}) {
    std::signal(fatal, SIG_DFL);
  }
  LimitProcessorTime(kHeaderSeconds);
  account.magic = ChildAccount::kMagic;
  std::string message;
  uint64_t size = PageBytes();
  try {
    const int ncid = OpenInLibrary(input, path, message);
    if (ncid >= 0) {
      Inspector inspector(ncid, path, input.size, names);
      const Layout layout = inspector.Inspect();
      account.steps = layout.steps;
      if (step < 0 || step >= layout.steps) {
        account.stepRefused = 1;
        throw Refusal{NoSuchStep(path, layout.steps, step)};
      }
      const StepOfField arranged = Arrange(inspector, layout);
      const std::vector<const Variable*> vars = StepVariables(layout);
      const uint64_t count = StepSize(layout);
      uint64_t read = 0;
      for (std::size_t k = 0; k < vars.size(); ++k) {
        if (vars[k]) {
          account.present |= 1u << k;
          ++read;
        }
      }
      const std::size_t nx = arranged.xs.size(), ny = arranged.ys.size(), nz = arranged.zs.size();
      const std::size_t bandRows = BandRows(inspector, layout, arranged);
      const uint64_t arraysAt = ArraysOffset(nx + ny + nz);
      // A ring when the step is read in more bands than it has slots.
      const uint64_t bands = bandRows == 0 ? 1 : (ny + bandRows - 1) / bandRows * nz;
      const uint64_t slots = bands > kRingSlots ? kRingSlots : 0;
      const uint64_t arrayValues = slots > 0 ? bandRows * nx : count;
      size = arraysAt + read * (slots > 0 ? slots : 1) * arrayValues * sizeof(float);
      if (ftruncate(fd, static_cast<off_t>(size)) != 0) _exit(kChildShortOfMemory);
      uint64_t at = sizeof account;
      for (const std::span<const float> axis : {arranged.xs, arranged.ys, arranged.zs}) {
        if (!WriteAt(fd, axis.data(), axis.size_bytes(), at)) _exit(kChildShortOfMemory);
        at += axis.size_bytes();
      }
      account.nx = nx;
      account.ny = ny;
      account.nz = nz;
      account.sx = arranged.sx;
      account.sy = arranged.sy;
      account.sz = arranged.sz;
      account.flipX = arranged.flipX;
      account.flipY = arranged.flipY;
      account.bandRows = bandRows;
      account.ringSlots = slots;
      Publish(account.phase, 1);
      LimitProcessorTime(2 * kHeaderSeconds + static_cast<rlim_t>(read * count * sizeof(float) /
                                                                  kSlowestBytesPerSecond));
      SharedSink sink(fd, account, arraysAt, arrayValues, account.present);
      ReadBands(
          inspector, layout, arranged, step, bandRows, sink,
          [&](std::size_t in) { sink.BandIn(static_cast<uint32_t>(in)); }, [] { return false; });
      account.loaded = 1;
      Publish(account.phase, 2);
      _exit(0);
    }
  } catch (const Refusal& refusal) {
    message = refusal.message;
  } catch (const std::bad_alloc&) {
    _exit(kChildShortOfMemory);
  } catch (...) {
    _exit(kChildFailed);
  }
  // A refusal: its message after everything else in the shared memory.
  account.messageAt = size;
  account.messageBytes = message.size();
  if (ftruncate(fd, static_cast<off_t>(size + message.size())) != 0 ||
      !WriteAt(fd, message.data(), message.size(), size)) {
    _exit(kChildShortOfMemory);
  }
  Publish(account.phase, 2);
  _exit(0);
}

/// A child still reading the rows BuildField waits for.
class ChildRows final : public RowGate {
 public:
  ChildRows(ChildAccount& account, pid_t child) : account_(account), child_(child) {}

  void Await(std::size_t rows) override {
    // The rows before this one are built: a child waiting for ring space may go on.
    UseRows(static_cast<uint32_t>(rows - 1));
    for (;;) {
      const uint32_t seen = Seen(account_.rowsIn);
      if (seen >= rows) return;
      if (ended_) throw Ended{};
      AwaitChange(account_.rowsIn, seen);
      Reap(WNOHANG);
    }
  }

  /// Waits until the child has read the header (or ended); its phase then.
  uint32_t AwaitHeader() {
    for (;;) {
      const uint32_t phase = Seen(account_.phase);
      if (phase != 0 || ended_) return phase;
      AwaitChange(account_.phase, phase);
      Reap(WNOHANG);
    }
  }

  /// Waits for the child to end, if it has not; its status. The child may then overwrite
  /// any row.
  int Finish() {
    UseRows(UINT32_MAX);
    if (!ended_) Reap(0);
    return status_;
  }

  struct Ended {};

 private:
  void UseRows(uint32_t rows) {
    std::atomic_ref<uint32_t>(account_.rowsUsed).store(rows);
    if (std::atomic_ref<uint32_t>(account_.childWaits).load() != 0) {
      syscall(SYS_futex, &account_.rowsUsed, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    }
  }

  void Reap(int options) {
    for (;;) {
      const pid_t reaped = waitpid(child_, &status_, options);
      if (reaped == child_) {
        ended_ = true;
        return;
      }
      if (reaped == 0 || errno != EINTR) {
        if (reaped < 0) ended_ = true;  // no such child: nothing more will come
        return;
      }
    }
  }

  ChildAccount& account_;
  pid_t child_;
  bool ended_ = false;
  int status_ = 0;
};

/// Unmaps a mapping when it goes.
struct Mapping {
  void* at = MAP_FAILED;
  std::size_t bytes = 0;
  Mapping(void* start, std::size_t length) : at(start), bytes(length) {}
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  ~Mapping() {
    if (at != MAP_FAILED) munmap(at, bytes);
  }
  bool Ok() const { return at != MAP_FAILED; }
};

/// The refusal for a child that ended with `status` having written `account`, or nothing when it
/// finished its work.
std::optional<std::string> ChildFault(const std::string& path, int status,
                                      const ChildAccount& account) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == kChildShortOfMemory) {
    return "there is not enough memory to read " + path;
  }
  const std::string damaged = path + " cannot be read: libhdf5 ";
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) {
    if (account.phase == 1) {
      return damaged + "spent longer reading its values than their size takes without "
                       "finishing; the file is damaged";
    }
    return damaged + "spent more than " + std::to_string(kHeaderSeconds) +
           " s reading its header without finishing; the file is damaged";
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && account.magic == ChildAccount::kMagic &&
      account.phase == 2) {
    return std::nullopt;
  }
  const std::string how = WIFSIGNALED(status)
                              ? "signal " + std::to_string(WTERMSIG(status))
                              : "exit status " + std::to_string(WEXITSTATUS(status));
  return damaged + "failed on it (" + how + "); the file is damaged";
}

/// Reads the step through a child process; nothing when no child could be made, and the file
/// is then read here.
std::optional<LoadResult> LoadApart(NetcdfInput& input, const std::string& path,
                                    const NetcdfVariables& names, int step) {
  const int fd = memfd_create("vortana-netcdf", MFD_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  const uint64_t page = PageBytes();
  if (ftruncate(fd, static_cast<off_t>(page)) != 0) return std::nullopt;
  const Mapping first(mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0), page);
  if (!first.Ok()) return std::nullopt;
  ChildAccount& account = *new (first.at) ChildAccount;
  pid_t child = -1;
  {
    // No other thread is inside libnetcdf while the child takes its copy of the library's state.
    const std::lock_guard<std::mutex> hold(LibraryLock());
    child = fork();
    if (child == 0) LoadInChild(fd, account, input, path, names, step);
  }
  if (child < 0) return std::nullopt;
  ChildRows rows(account, child);
  // The header first: the child ends (a refusal) or says what the step holds.
  const uint32_t phase = rows.AwaitHeader();
  std::optional<LoadResult> built;
  if (phase == 1 || (phase == 2 && account.loaded)) {
    // The child is this program, but its account is checked as any input would be.
    uint64_t arrays = 0;
    for (int k = 0; k < 5; ++k) arrays += (account.present >> k) & 1u;
    const uint64_t most = static_cast<uint64_t>(kMaxDimension);
    const uint64_t nodes = account.nx * account.ny * account.nz;
    const uint64_t arraysAt = ArraysOffset(account.nx + account.ny + account.nz);
    const bool ring = account.ringSlots > 0;
    const uint64_t arrayValues = ring ? account.bandRows * account.nx : nodes;
    const uint64_t size =
        arraysAt + arrays * (ring ? account.ringSlots : 1) * arrayValues * sizeof(float);
    struct stat shared {};
    const bool sound =
        account.magic == ChildAccount::kMagic && account.nx >= 2 && account.ny >= 2 &&
        account.nz >= 1 && account.nx <= most && account.ny <= most && account.nz <= most &&
        (account.present & 3u) == 3u && account.present < 32u && account.steps >= 1 &&
        account.steps <= INT_MAX &&
        fstat(fd, &shared) == 0 && static_cast<uint64_t>(shared.st_size) >= size &&
        (account.nx - 1) * account.sx + (account.ny - 1) * account.sy +
                (account.nz - 1) * account.sz <
            nodes &&
        (!ring || (account.ringSlots <= kRingSlots && account.bandRows >= 1 &&
                   account.bandRows < account.ny && account.sx == 1 &&
                   account.sy == account.nx));
    const Mapping whole(sound ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED,
                        size);
    if (whole.Ok()) {
      const auto* bytes = static_cast<const unsigned char*>(whole.at);
      const auto* axes = reinterpret_cast<const float*>(bytes + sizeof account);
      StepOfField arranged;
      arranged.xs = {axes, account.nx};
      arranged.ys = {axes + account.nx, account.ny};
      arranged.zs = {axes + account.nx + account.ny, account.nz};
      arranged.flipX = account.flipX != 0;
      arranged.flipY = account.flipY != 0;
      arranged.sx = account.sx;
      arranged.sy = account.sy;
      arranged.sz = account.sz;
      if (ring) {
        arranged.bandRows = account.bandRows;
        arranged.ringSlots = account.ringSlots;
        arranged.slotValues = arrays * arrayValues;
      }
      const auto* values = reinterpret_cast<const float*>(bytes + arraysAt);
      for (int k = 0; k < 5; ++k) {
        if (!((account.present >> k) & 1u)) continue;
        arranged.arrays[k] = values;
        values += arrayValues;
      }
      try {
        built = LoadResult::Loaded(BuildField(arranged, &rows));
        built->SetStepCount(static_cast<int>(account.steps));
      } catch (const ChildRows::Ended&) {
        // The child stopped before the last row: its account says why.
      } catch (const std::bad_alloc&) {
        built = LoadResult::Failed(path, "there is not enough memory to read " + path);
      }
    }
  }
  const int status = rows.Finish();
  if (std::optional<std::string> fault = ChildFault(path, status, account)) {
    return LoadResult::Failed(path, *fault);
  }
  if (account.messageBytes > 0 || !account.loaded) {
    struct stat shared {};
    std::string message;
    if (fstat(fd, &shared) == 0 && account.messageBytes <= (1u << 20) &&
        account.messageAt + account.messageBytes == static_cast<uint64_t>(shared.st_size)) {
      message.resize(account.messageBytes);
      if (pread(fd, message.data(), message.size(), static_cast<off_t>(account.messageAt)) !=
          static_cast<ssize_t>(message.size())) {
        message.clear();
      }
    }
    if (message.empty()) {
      return LoadResult::Failed(path, path + " cannot be read: libhdf5 failed on it");
    }
    LoadResult refused = LoadResult::Failed(path, message);
    if (account.stepRefused) refused.SetStepCount(static_cast<int>(account.steps));
    return refused;
  }
  if (!built) return LoadResult::Failed(path, path + " cannot be read: libhdf5 failed on it");
  return built;
}

/// Opens `path`, checks its header, and loads step `step`: a NetCDF-4 file through a child
/// process, any other here. Every failure becomes a LoadResult failure.
LoadResult LoadStep(const std::string& path, ByteStore& store, const NetcdfVariables& names,
                    int step) {
  std::string error;
  std::optional<NetcdfInput> input;
  try {
    input = OpenInput(path, store, error);
  } catch (const std::bad_alloc&) {
    return LoadResult::Failed(path, "there is not enough memory to read " + path);
  }
  if (!input) return LoadResult::Failed(path, error);
  if (input->hdf5) {
    if (std::optional<LoadResult> loaded = LoadApart(*input, path, names, step)) {
      return std::move(*loaded);
    }
  }
  const std::lock_guard<std::mutex> hold(LibraryLock());
  const int ncid = OpenInLibrary(*input, path, error);
  if (ncid < 0) return LoadResult::Failed(path, error);
  return LoadOpened(ncid, path, input->size, names, step);
}

}  // namespace

NetcdfReader::NetcdfReader(NetcdfVariables variables) : variables_(std::move(variables)) {}

bool NetcdfReader::ClaimsName(std::string_view path) const {
  return path.ends_with(".nc") || path.ends_with(".nc4") || path.ends_with(".cdf");
}

bool NetcdfReader::ClaimsContents(std::span<const unsigned char> head) const {
  if (head.size() >= 4 && std::memcmp(head.data(), "CDF", 3) == 0) {
    return head[3] == 1 || head[3] == 2 || head[3] == 5;
  }
  return head.size() >= sizeof kHdf5Signature &&
         std::memcmp(head.data(), kHdf5Signature, sizeof kHdf5Signature) == 0;
}

LoadResult NetcdfReader::Read(const std::string& path, ByteStore& store,
                              const ReadRequest& request) const {
  return LoadStep(path, store, variables_, request.step);
}

}  // namespace vortana
