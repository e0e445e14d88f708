// The compiled half of the Python package: fields in memory and the headless dialog's work on
// them. The Python half (vortana/__init__.py) turns keyword arguments into vortana-render's
// command line, so that every option of the program is an argument here with its name, default
// and range, and turns failures into the exceptions Python users expect.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/field_warnings.h"
#include "app/headless/json_description.h"
#include "app/headless/render_options.h"
#include "app/headless/render_run.h"
#include "app/png_writer.h"
#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/byte_source.h"
#include "data/rectilinear_grid.h"

namespace py = pybind11;

namespace vortana {
namespace {

using FloatArray = py::array_t<float, py::array::c_style | py::array::forcecast>;

/// A field shared by every run on it; each run draws on a copy of its own, since the dialog
/// owns the field it shows, so that threads may draw one field at once.
struct PyField {
  std::shared_ptr<const FlowField> field;
  std::string name;
};

/// One run of the dialog on a field: what render(), describe(), streamlines(), arrows() and
/// save() read their answers from.
class PyRun {
 public:
  PyRun(RenderOptions options, std::unique_ptr<StepRender> headless)
      : options_(std::move(options)), headless_(std::move(headless)) {}

  py::array_t<uint8_t> Picture() const {
    const VisualizerDialog& dialog = headless_->dialog;
    RgbPicture picture =
        PictureOf(dialog.DrawingArea(), options_.legend ? &dialog.LegendStrip() : nullptr);
    py::array_t<uint8_t> array({picture.height, picture.width, 3});
    std::copy(picture.rgb.begin(), picture.rgb.end(), array.mutable_data());
    return array;
  }

  std::string Description() const {
    return DescribeDialog(headless_->dialog, options_.dataset,
                          KeysOfDescription(options_, *headless_, options_.step));
  }

  // Stored pixels as world points, through the dialog's own pixel map.
  py::list Streamlines() const {
    const VisualizerDialog& dialog = headless_->dialog;
    const PixelMap& map = dialog.Map();
    py::list lines;
    for (const Streamline& line : dialog.StoredStreamlines()) {
      py::array_t<float> points({static_cast<py::ssize_t>(line.size()), py::ssize_t{2}});
      float* out = points.mutable_data();
      for (const PixelPoint& p : line) {
        *out++ = map.WorldXOfPixel(p.x);
        *out++ = map.WorldYOfPixel(p.y);
      }
      lines.append(std::move(points));
    }
    return lines;
  }

  // Columns px, py (drawing pixels), x, y (world) and the vector u, v, w as sampled.
  py::tuple Arrows() const {
    const VisualizerDialog& dialog = headless_->dialog;
    const PixelMap& map = dialog.Map();
    const std::vector<ArrowRecord>& arrows = dialog.StoredArrows();
    const auto count = static_cast<py::ssize_t>(arrows.size());
    py::array_t<int32_t> pixels({count, py::ssize_t{2}});
    py::array_t<float> values({count, py::ssize_t{5}});
    int32_t* px = pixels.mutable_data();
    float* out = values.mutable_data();
    for (const ArrowRecord& a : arrows) {
      *px++ = a.x;
      *px++ = a.y;
      for (const float v : {map.WorldXOfPixel(a.x), map.WorldYOfPixel(a.y), a.v.x, a.v.y, a.v.z}) {
        *out++ = v;
      }
    }
    return py::make_tuple(pixels, values);
  }

  /// Writes what `output` names as vortana-render does; returns what went wrong, or nothing.
  std::string Save(const std::string& output) {
    RenderOptions options = options_;
    options.output = output;
    if (std::string refusal = RefusedOutput(options); !refusal.empty()) return refusal;
    // The program's writer reports to standard error; here the report becomes the exception.
    std::ostringstream errors;
    std::streambuf* const old = std::cerr.rdbuf(errors.rdbuf());
    std::ostringstream unused;
    const bool written =
        WriteStepOutputs(options, {options.output, options.dump, options.step}, *headless_,
                         unused) == kExitSuccess;
    std::cerr.rdbuf(old);
    if (written) return {};
    std::string text = errors.str();
    const std::string prefix = "vortana-render: ";
    if (text.starts_with(prefix)) text.erase(0, prefix.size());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

 private:
  RenderOptions options_;
  std::unique_ptr<StepRender> headless_;
};

// Either the run or what stopped it: ("usage", text) for the command line, ("data", text) for a
// field the dialog cannot draw.
py::object Run(const PyField& self, const std::vector<std::string>& args) {
  std::vector<std::string> line = args;
  line.push_back("--");
  line.push_back(self.name);
  ParsedRenderOptions parsed = ParseRenderOptions(line);
  if (!parsed.error.empty()) return py::make_tuple("usage", parsed.error);
  std::unique_ptr<StepRender> headless;
  std::string failure;
  {
    // Placement can take seconds on a large field; other threads run meanwhile.
    py::gil_scoped_release release;
    headless = std::make_unique<StepRender>(parsed.options.settings.drawingSize);
    StartHeadless(parsed.options, *headless);
    headless->dialog.UseField(std::make_unique<FlowField>(*self.field), self.name);
    const DrawOutcome outcome = DrawLoaded(parsed.options, *headless, {});
    failure = outcome.message;
    if (outcome.status != kExitSuccess && failure.empty()) {
      for (const ShownMessage& message : headless->platform.Messages()) {
        failure += (failure.empty() ? "" : "; ") + message.text;
      }
    }
  }
  // A Ctrl+C during the work is raised as KeyboardInterrupt once it is done; stopping the
  // placement itself needs a stop flag in its loops.
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  if (!failure.empty()) return py::make_tuple("data", failure);
  return py::cast(PyRun(std::move(parsed.options), std::move(headless)));
}

// The field or, when the data set cannot be used, the failing file and the reason.
py::object Load(const std::string& path, int step) {
  LoadResult result = LoadResult::Failed(path, {});
  {
    py::gil_scoped_release release;
    FileStore store;
    ReadRequest request;
    request.step = step;
    result = LoadDataSet(path, store, ReaderSet::Standard(), request);
  }
  if (!result.Ok()) return py::make_tuple(result.Failure().file, result.Failure().message);
  PyField field{std::shared_ptr<const FlowField>(result.TakeField()), path};
  return py::make_tuple(py::cast(std::move(field)), result.StepCount(), result.Notice());
}

// Axes and C-ordered float32 arrays of shape (len(y), len(x)), checked by the caller; a missing
// component is None. Returns the field, or the reason it cannot be built.
py::object FromArrays(FloatArray x, FloatArray y, FloatArray u, FloatArray v,
                      std::optional<FloatArray> w, std::optional<FloatArray> pressure,
                      std::optional<FloatArray> vorticity, const std::string& name) {
  RectilinearSource source;
  source.name = name;
  source.x.assign(x.data(), x.data() + x.size());
  source.y.assign(y.data(), y.data() + y.size());
  for (const auto& [axis, values] : {std::pair{"x", &source.x}, {"y", &source.y}}) {
    if (std::string error = CheckAxis(name, axis, *values, 2); !error.empty()) {
      return py::str(error);
    }
  }
  source.u.data = u.data();
  source.v.data = v.data();
  if (w) source.w.data = w->data();
  if (pressure) source.scalar0.data = pressure->data();
  if (vorticity) source.scalar1.data = vorticity->data();
  source.scalarCount = vorticity ? 2 : pressure ? 1 : 0;
  LoadResult result = LoadResult::Failed(name, {});
  {
    py::gil_scoped_release release;
    result = BuildRectilinearField(source);
  }
  if (!result.Ok()) return py::str(result.Message());
  return py::cast(PyField{std::shared_ptr<const FlowField>(result.TakeField()), name});
}

// Slice 0's node array as float32 (rows, columns) arrays, in the field's own (rising) order.
py::dict Arrays(const PyField& self) {
  const FlowField& f = *self.field;
  const py::ssize_t rows = f.Height();
  const py::ssize_t columns = f.Width();
  const char* names[] = {"x", "y", "u", "v", "w", "pressure", "vorticity"};
  std::vector<py::array_t<float>> arrays;
  for (size_t k = 0; k < std::size(names); ++k) arrays.emplace_back(std::vector{rows, columns});
  const std::vector<GridPoint>& nodes = f.Nodes();
  for (py::ssize_t i = 0; i < rows * columns && i < static_cast<py::ssize_t>(nodes.size()); ++i) {
    const GridPoint& n = nodes[static_cast<size_t>(i)];
    const float values[] = {n.position.x, n.position.y, n.velocity.x, n.velocity.y,
                            n.velocity.z, n.scalar0,    n.scalar1};
    for (size_t k = 0; k < std::size(names); ++k) arrays[k].mutable_data()[i] = values[k];
  }
  py::dict out;
  for (size_t k = 0; k < std::size(names); ++k) out[names[k]] = arrays[k];
  return out;
}

py::dict Statistics(const PyField& self) {
  const FlowField& f = *self.field;
  const FieldStatistics& s = f.Stats();
  py::dict out;
  out["size"] = f.NodeCount();
  out["width"] = f.Width();
  out["height"] = f.Height();
  out["depth"] = f.Depth();
  out["scalar_count"] = f.ScalarCount();
  out["min_x"] = s.minPosition.x;
  out["min_y"] = s.minPosition.y;
  out["min_z"] = s.minPosition.z;
  out["max_x"] = s.maxPosition.x;
  out["max_y"] = s.maxPosition.y;
  out["max_z"] = s.maxPosition.z;
  out["max_u"] = s.maxVelocity.x;
  out["max_v"] = s.maxVelocity.y;
  out["max_w"] = s.maxVelocity.z;
  out["max_speed"] = s.maxSpeed;
  out["min_scalar0"] = s.minScalar0;
  out["max_scalar0"] = s.maxScalar0;
  out["min_scalar1"] = s.minScalar1;
  out["max_scalar1"] = s.maxScalar1;
  return out;
}

}  // namespace
}  // namespace vortana

PYBIND11_MODULE(_vortana, m) {
  using namespace vortana;
  m.doc() = "Vortana's engine; use the vortana package, which wraps it.";
  py::class_<PyField>(m, "Field")
      .def_readonly("name", &PyField::name)
      .def("statistics", &Statistics)
      .def("arrays", &Arrays)
      .def("warnings", [](const PyField& self) { return FieldWarnings(*self.field); })
      .def(
          "velocity_at",
          [](const PyField& self, float x, float y) {
            const Vec3 v = self.field->VelocityAt(x, y);
            return py::make_tuple(v.x, v.y, v.z);
          },
          py::arg("x"), py::arg("y"))
      .def("run", &Run, py::arg("args"));
  py::class_<PyRun>(m, "Run")
      .def("picture", &PyRun::Picture)
      .def("description", &PyRun::Description)
      .def("streamlines", &PyRun::Streamlines)
      .def("arrows", &PyRun::Arrows)
      .def("save", &PyRun::Save, py::arg("path"));
  m.def("load", &Load, py::arg("path"), py::arg("step"));
  m.def("from_arrays", &FromArrays, py::arg("x"), py::arg("y"), py::arg("u"), py::arg("v"),
        py::arg("w"), py::arg("pressure"), py::arg("vorticity"), py::arg("name"));
  m.def("usage", &RenderUsage);
}
