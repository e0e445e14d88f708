// The compiled half of the Python package: fields in memory and the headless dialog's work on
// them. The Python half (vortana/__init__.py) turns keyword arguments into vortana-render's
// command line, so that every option of the program is an argument here with its name, default
// and range, and turns failures into the exceptions Python users expect.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <span>
#include <string>
#include <thread>
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
  std::shared_ptr<FlowField> field;  // shared with the runs under way, which draw copies
  std::string name;
};

const FlowField& FieldOf(const PyField& self) { return *self.field; }

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

  // Every stored streamline's world points in one (n, 2) array, and the point count of each
  // line: matplotlib takes its lines as views into one array, without a list of arrays between.
  // With `turnsOnly` a line keeps its ends and the points where it turns: a point inside a
  // straight run (the same step on both sides) is left out, which draws the same polyline.
  // A line of pixels runs straight for three points of four, and each point costs in drawing.
  py::tuple StreamlinePoints(bool turnsOnly) const {
    const VisualizerDialog& dialog = headless_->dialog;
    const PixelMap& map = dialog.Map();
    const std::vector<Streamline>& stored = dialog.StoredStreamlines();
    const auto kept = [turnsOnly](const Streamline& line, size_t i) {
      if (!turnsOnly || i == 0 || i + 1 == line.size()) return true;
      const PixelPoint& a = line[i - 1];
      const PixelPoint& b = line[i];
      const PixelPoint& c = line[i + 1];
      return b.x - a.x != c.x - b.x || b.y - a.y != c.y - b.y;
    };
    py::ssize_t total = 0;
    for (const Streamline& line : stored) {
      for (size_t i = 0; i < line.size(); ++i) total += kept(line, i) ? 1 : 0;
    }
    py::array_t<double> points({total, py::ssize_t{2}});
    py::array_t<int64_t> counts(static_cast<py::ssize_t>(stored.size()));
    double* out = points.mutable_data();
    int64_t* count = counts.mutable_data();
    for (const Streamline& line : stored) {
      const double* first = out;
      for (size_t i = 0; i < line.size(); ++i) {
        if (!kept(line, i)) continue;
        *out++ = map.WorldXOfPixel(line[i].x);
        *out++ = map.WorldYOfPixel(line[i].y);
      }
      *count++ = (out - first) / 2;
    }
    return py::make_tuple(points, counts);
  }

  // The velocity (u, v) the drawing sampled at each world point of an (n, 2) array.
  py::array_t<float> Velocities(py::array_t<double, py::array::c_style | py::array::forcecast> at) const {
    if (at.ndim() != 2 || at.shape(1) != 2) throw py::value_error("points must be an (n, 2) array");
    const FlowField& field = *headless_->dialog.Field();
    py::array_t<float> velocities({at.shape(0), py::ssize_t{2}});
    const double* in = at.data();
    float* out = velocities.mutable_data();
    for (py::ssize_t i = 0; i < at.shape(0); ++i, in += 2) {
      const Vec3 v = field.VelocityAt(static_cast<float>(in[0]), static_cast<float>(in[1]));
      *out++ = v.x;
      *out++ = v.y;
    }
    return velocities;
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

// One run of the dialog on a thread of its own, started by start() or start_on_arrays(): the
// caller goes on (matplotlib lays out a figure's axes and labels while the lines are placed) and
// wait() gives the run, or what stopped it. Python runs its signal handlers on the main thread
// only, and only while that thread holds the GIL: the work cannot look itself, so wait() looks
// every 50 ms. A handler that raises (Ctrl+C's KeyboardInterrupt) asks the placement to stop,
// and the exception is raised once the work has come back, so that nothing it uses is freed
// under it.
class PendingRun {
 public:
  /// A field the run builds first, on its thread, from arrays it keeps for that; they are let
  /// go, with the GIL held, once it is done.
  struct FieldToBuild {
    RectilinearSource source;  // points into `arrays`
    std::vector<FloatArray> arrays;
  };

  /// The run draws a copy of `shared`, or the field `build` makes. `stepScale` multiplies the
  /// streamlines' step (the dialog's SetStepScale).
  PendingRun(ParsedRenderOptions parsed, std::shared_ptr<const FlowField> shared,
             std::optional<FieldToBuild> build, std::string name, float stepScale)
      : parsed_(std::move(parsed)),
        shared_(std::move(shared)),
        build_(std::move(build)),
        name_(std::move(name)),
        stepScale_(stepScale),
        worker_([this] { Work(); }) {}

  PendingRun(const PendingRun&) = delete;
  PendingRun& operator=(const PendingRun&) = delete;

  // Never waited for: the placement is stopped rather than finished.
  ~PendingRun() {
    monitor_.RequestStop();
    if (worker_.joinable()) {
      py::gil_scoped_release release;
      worker_.join();
    }
  }

  // The run, ("data", text) for a field the dialog cannot draw; the same answer every time.
  py::object Wait() {
    if (worker_.joinable()) {
      std::optional<py::error_already_set> interrupt;
      for (;;) {
        {
          py::gil_scoped_release release;
          std::unique_lock lock(mutex_);
          if (ended_.wait_for(lock, std::chrono::milliseconds(50), [&] { return done_; })) break;
        }
        if (!interrupt && PyErr_CheckSignals() != 0) {
          interrupt.emplace();  // takes the exception the handler raised
          monitor_.RequestStop();
        }
      }
      // With the GIL held, so that a second thread waiting too cannot join as well; the work
      // has ended, so it does not keep this thread long.
      if (worker_.joinable()) worker_.join();
      build_.reset();
      if (interrupt) {
        result_ = py::make_tuple("data", "the placement was interrupted");
        throw *interrupt;
      }
    }
    if (error_) std::rethrow_exception(error_);
    if (!result_) {
      result_ = failure_.empty()
                    ? py::cast(PyRun(std::move(parsed_.options), std::move(headless_)))
                    : py::make_tuple("data", failure_);
    }
    return *result_;
  }

 private:
  void Work() {
    try {
      if (build_) {
        LoadResult built = BuildRectilinearField(build_->source);
        if (built.Ok()) {
          field_ = built.TakeField();
        } else {
          failure_ = built.Message();
        }
      }
      if (failure_.empty()) Draw();
    } catch (...) {
      error_ = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    done_ = true;
    ended_.notify_one();
  }

  // The dialog's work on the field, as vortana-render does it.
  void Draw() {
    headless_ = std::make_unique<StepRender>(parsed_.options.settings.drawingSize);
    headless_->dialog.SetWorkMonitor(&monitor_);
    headless_->dialog.SetStepScale(stepScale_);
    StartHeadless(parsed_.options, *headless_);
    if (!field_) field_ = std::make_unique<FlowField>(*shared_);
    headless_->dialog.UseField(std::move(field_), name_);
    const DrawOutcome outcome = DrawLoaded(parsed_.options, *headless_, {});
    headless_->dialog.SetWorkMonitor(nullptr);
    failure_ = outcome.message;
    if (outcome.status != kExitSuccess && failure_.empty()) {
      for (const ShownMessage& message : headless_->platform.Messages()) {
        failure_ += (failure_.empty() ? "" : "; ") + message.text;
      }
    }
  }

  ParsedRenderOptions parsed_;
  std::unique_ptr<FlowField> field_;
  std::shared_ptr<const FlowField> shared_;  // kept for the run: no other run takes it
  std::optional<FieldToBuild> build_;
  std::string name_;
  float stepScale_;
  std::unique_ptr<StepRender> headless_;
  WorkMonitor monitor_;
  std::string failure_;
  std::exception_ptr error_;
  std::optional<py::object> result_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread worker_;  // last: it starts once everything it uses is there
};

// The options of vortana-render's command line `args`, for the data set `name`.
ParsedRenderOptions ParsedFor(const std::vector<std::string>& args, const std::string& name) {
  std::vector<std::string> line = args;
  line.push_back("--");
  line.push_back(name);
  return ParseRenderOptions(line);
}

// A run on a copy of the field, started, or ("usage", text) for the command line.
py::object Start(PyField& self, const std::vector<std::string>& args) {
  ParsedRenderOptions parsed = ParsedFor(args, self.name);
  if (!parsed.error.empty()) return py::make_tuple("usage", parsed.error);
  return py::cast(std::make_unique<PendingRun>(std::move(parsed), self.field, std::nullopt,
                                               self.name, 1.0f));
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
  PyField field{std::shared_ptr<FlowField>(result.TakeField()), path};
  return py::make_tuple(py::cast(std::move(field)), result.StepCount(), result.Notice());
}

// A source over axes and C-ordered float32 arrays of shape (len(y), len(x)), checked by the
// caller (a missing component is None), or in `error` why it cannot be built.
RectilinearSource SourceOfArrays(const FloatArray& x, const FloatArray& y, const FloatArray& u,
                                 const FloatArray& v, const std::optional<FloatArray>& w,
                                 const std::optional<FloatArray>& pressure,
                                 const std::optional<FloatArray>& vorticity,
                                 const std::string& name, std::string& error) {
  RectilinearSource source;
  source.name = name;
  source.x.assign(x.data(), x.data() + x.size());
  source.y.assign(y.data(), y.data() + y.size());
  for (const auto& [axis, values] : {std::pair{"x", &source.x}, {"y", &source.y}}) {
    error = CheckAxis(name, axis, *values, 2);
    if (!error.empty()) return source;
  }
  source.u.data = u.data();
  source.v.data = v.data();
  if (w) source.w.data = w->data();
  if (pressure) source.scalar0.data = pressure->data();
  if (vorticity) source.scalar1.data = vorticity->data();
  source.scalarCount = vorticity ? 2 : pressure ? 1 : 0;
  return source;
}

// The field of the arrays (as SourceOfArrays takes them), or the reason it cannot be built.
py::object FromArrays(FloatArray x, FloatArray y, FloatArray u, FloatArray v,
                      std::optional<FloatArray> w, std::optional<FloatArray> pressure,
                      std::optional<FloatArray> vorticity, const std::string& name) {
  std::string error;
  const RectilinearSource source =
      SourceOfArrays(x, y, u, v, w, pressure, vorticity, name, error);
  if (!error.empty()) return py::str(error);
  LoadResult result = LoadResult::Failed(name, {});
  {
    py::gil_scoped_release release;
    result = BuildRectilinearField(source);
  }
  if (!result.Ok()) return py::str(result.Message());
  return py::cast(PyField{std::shared_ptr<FlowField>(result.TakeField()), name});
}

// A run on the field of the arrays (as SourceOfArrays takes them), which the run builds on its
// thread: the run started, or ("usage", text) for the command line, ("data", text) for arrays
// that make no field.
py::object StartOnArrays(FloatArray x, FloatArray y, FloatArray u, FloatArray v,
                         const std::vector<std::string>& args, float stepScale) {
  const std::string name = "arrays";
  ParsedRenderOptions parsed = ParsedFor(args, name);
  if (!parsed.error.empty()) return py::make_tuple("usage", parsed.error);
  std::string error;
  RectilinearSource source =
      SourceOfArrays(x, y, u, v, std::nullopt, std::nullopt, std::nullopt, name, error);
  if (!error.empty()) return py::make_tuple("data", error);
  PendingRun::FieldToBuild build{std::move(source), {u, v}};  // x and y are copied in
  return py::cast(std::make_unique<PendingRun>(std::move(parsed), nullptr, std::move(build),
                                               name, stepScale));
}

// The sampled slice's node array as float32 (rows, columns) arrays, in the field's own (rising) order.
py::dict Arrays(const PyField& self) {
  const FlowField& f = FieldOf(self);
  const py::ssize_t rows = f.Height();
  const py::ssize_t columns = f.Width();
  const char* names[] = {"x", "y", "u", "v", "w", "pressure", "vorticity"};
  std::vector<py::array_t<float>> arrays;
  for (size_t k = 0; k < std::size(names); ++k) arrays.emplace_back(std::vector{rows, columns});
  const std::span<const GridPoint> nodes = f.SliceNodes();
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
  const FlowField& f = FieldOf(self);
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
      .def(
          "sample_slice",
          [](PyField& self, int slice) { return self.field->SampleSlice(slice); },
          py::arg("slice"))
      .def("arrays", &Arrays)
      .def("warnings", [](const PyField& self) { return FieldWarnings(FieldOf(self)); })
      .def(
          "velocity_at",
          [](const PyField& self, float x, float y) {
            const Vec3 v = FieldOf(self).VelocityAt(x, y);
            return py::make_tuple(v.x, v.y, v.z);
          },
          py::arg("x"), py::arg("y"))
      .def("start", &Start, py::arg("args"));
  py::class_<PendingRun>(m, "PendingRun").def("wait", &PendingRun::Wait);
  py::class_<PyRun>(m, "Run")
      .def("picture", &PyRun::Picture)
      .def("description", &PyRun::Description)
      .def("streamlines", &PyRun::Streamlines)
      .def("arrows", &PyRun::Arrows)
      .def("streamline_points", &PyRun::StreamlinePoints, py::arg("turns_only") = false)
      .def("velocities", &PyRun::Velocities, py::arg("points"))
      .def("save", &PyRun::Save, py::arg("path"));
  m.def("load", &Load, py::arg("path"), py::arg("step"));
  m.def("from_arrays", &FromArrays, py::arg("x"), py::arg("y"), py::arg("u"), py::arg("v"),
        py::arg("w"), py::arg("pressure"), py::arg("vorticity"), py::arg("name"));
  m.def("start_on_arrays", &StartOnArrays, py::arg("x"), py::arg("y"), py::arg("u"),
        py::arg("v"), py::arg("args"), py::arg("step_scale"));
  m.def("usage", &RenderUsage);
}
