// Our side of bench/compare.sh: times one job on a data set already written to disk and prints
// one line of "key value" pairs, the first being "ms <median>". The field is loaded before the
// clock starts for every job but "load", so a timing holds the job alone, as the dialog would
// run it on a field it already has.
//
//   compare_ours evenly BASE [--integrator rk2|euler] [--d-sep N] [--d-test N] [--delta-t N]
//                            [--reps N]
//   compare_ours background BASE [--reps N]
//   compare_ours load BASE [--reps N]
//   compare_ours raw BASE [--reps N]     (fread of both whole files, the floor for "load")
//
// Each run is repeated --reps times (default 5) after one untimed warm-up run.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/mman.h>

#include "data/flow_field.h"
#include "render/background.h"
#include "render/colour_ramp.h"
#include "render/occupancy_grid.h"
#include "render/pixel_map.h"
#include "render/streamline.h"
#include "render/surface.h"

namespace {

using vortana::FlowField;
using vortana::LoadResult;

constexpr int kAreaSize = 512;
// The step the dialog takes for a Delta t setting (1 to 20): float(Delta t x 0.01f) in double.
float DialogDt(int deltaT) {
  return static_cast<float>(static_cast<double>(deltaT) * static_cast<double>(0.01f));
}

struct Options {
  std::string job;
  std::string base;
  int integrator = vortana::kIntegratorRungeKutta;
  int dSep = 10;
  int dTest = 5;
  int deltaT = 10;  // the dialog's start value: dt 0.099999994
  int reps = 5;
};

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr, "compare_ours: %s\n", why.c_str());
  std::fprintf(stderr,
               "usage: compare_ours evenly|background|load|raw BASE [--integrator rk2|euler] "
               "[--d-sep N] [--d-test N] [--delta-t N] [--reps N]\n");
  std::exit(2);
}

int IntArgument(const std::string& name, const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 100000) Usage(name + " wants a positive integer");
  return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv) {
  if (argc < 3) Usage("a job and a data set are needed");
  Options options;
  options.job = argv[1];
  options.base = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) Usage(arg + " wants a value");
    const char* value = argv[++i];
    if (arg == "--integrator") {
      const std::string name = value;
      if (name == "rk2") {
        options.integrator = vortana::kIntegratorRungeKutta;
      } else if (name == "euler") {
        options.integrator = vortana::kIntegratorEuler;
      } else {
        Usage("--integrator is rk2 or euler");
      }
    } else if (arg == "--d-sep") {
      options.dSep = IntArgument(arg, value);
    } else if (arg == "--d-test") {
      options.dTest = IntArgument(arg, value);
    } else if (arg == "--delta-t") {
      options.deltaT = IntArgument(arg, value);
      if (options.deltaT > 20) Usage("--delta-t is 1 to 20, as in the dialog");
    } else if (arg == "--reps") {
      options.reps = IntArgument(arg, value);
    } else {
      Usage("unknown option " + arg);
    }
  }
  return options;
}

// A base name given as NAME.gri is cut back to NAME, as the dialog does.
std::string BaseOf(std::string path) {
  const std::string suffix = ".gri";
  if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
    path.resize(path.size() - suffix.size());
  }
  return path;
}

std::unique_ptr<FlowField> LoadOrDie(const std::string& base) {
  LoadResult loaded = FlowField::Load(base);
  std::unique_ptr<FlowField> field = loaded.TakeField();
  if (!field || !field->HasCell()) {
    std::fprintf(stderr, "compare_ours: cannot use %s: %s\n", base.c_str(),
                 loaded.Message().c_str());
    std::exit(1);
  }
  return field;
}

// The mapping the dialog sets at load: world units per drawing-area pixel, single precision.
vortana::PixelMap DialogPixelMap(const FlowField& field) {
  vortana::PixelMap map;
  map.scaleX = static_cast<float>(static_cast<double>(field.Stats().maxPosition.x) / kAreaSize);
  map.scaleY = static_cast<float>(static_cast<double>(field.Stats().maxPosition.y) / kAreaSize);
  return map;
}

// One warm-up, then `reps` timed runs of `job`; the median in milliseconds.
double MedianMs(int reps, const std::function<void()>& job) {
  job();
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = std::chrono::steady_clock::now();
    job();
    const auto stop = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  std::sort(times.begin(), times.end());
  const size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2.0;
}

int RunEvenly(const Options& options) {
  const auto field = LoadOrDie(options.base);
  vortana::TraceSettings settings;
  settings.map = DialogPixelMap(*field);
  settings.integrator = options.integrator;
  settings.dt = DialogDt(options.deltaT);
  vortana::OccupancyGrid occupancy(kAreaSize, kAreaSize);
  vortana::Surface area(kAreaSize, kAreaSize);
  std::vector<vortana::Streamline> stored;
  const double ms = MedianMs(options.reps, [&] {
    stored.clear();
    vortana::PlaceEvenlySpacedStreamlines(*field, settings, options.dSep, options.dTest, occupancy,
                                          vortana::kBlue, area, stored);
  });
  // Points are pixels; the length adds the distances between neighbours, comparable with the
  // length in pixels of the peers' polylines.
  size_t points = 0;
  double length = 0.0;
  for (const auto& line : stored) {
    points += line.size();
    for (size_t i = 1; i < line.size(); ++i) {
      length += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
    }
  }
  std::printf("ms %.3f lines %zu points %zu length_px %.0f\n", ms, stored.size(), points, length);
  return 0;
}

int RunBackground(const Options& options) {
  const auto field = LoadOrDie(options.base);
  const vortana::PixelMap map = DialogPixelMap(*field);
  const auto& stats = field->Stats();
  const vortana::BackgroundLimits limits{stats.maxSpeed, stats.minScalar0, stats.maxScalar0,
                                         stats.minScalar1, stats.maxScalar1};
  const vortana::ColourRamp ramp = vortana::BuildColourRamp();
  std::vector<vortana::Colour> buffer(static_cast<size_t>(kAreaSize) * kAreaSize, vortana::kBlack);
  vortana::Surface area(kAreaSize, kAreaSize);
  const double ms = MedianMs(options.reps, [&] {
    bool valid = false;  // a full computation every time, as after a load
    vortana::DrawBackground(*field, map, vortana::kColourByFlow, limits, ramp, valid, buffer, area);
  });
  std::printf("ms %.3f\n", ms);
  return 0;
}

int RunLoad(const Options& options) {
  int32_t nodes = 0;
  const double ms = MedianMs(options.reps, [&] { nodes = LoadOrDie(options.base)->NodeCount(); });
  std::printf("ms %.3f nodes %d node_bytes %zu\n", ms, nodes,
              static_cast<size_t>(nodes) * sizeof(vortana::GridPoint));
  return 0;
}

// Fresh pages for every read, as a program that reads the file once would get them. A buffer
// from malloc would be recycled from the heap after the first run (glibc raises its mmap
// threshold after a free), and the raw read would then skip the page faults that the loader's
// node array, always freshly mapped at this size, pays on every run.
class FreshBuffer {
 public:
  explicit FreshBuffer(size_t size)
      : size_(size),
        bytes_(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {
    if (bytes_ == MAP_FAILED) {
      std::fprintf(stderr, "compare_ours: cannot map %zu bytes\n", size);
      std::exit(1);
    }
  }
  ~FreshBuffer() { munmap(bytes_, size_); }
  FreshBuffer(const FreshBuffer&) = delete;
  FreshBuffer& operator=(const FreshBuffer&) = delete;
  void* Data() { return bytes_; }

 private:
  size_t size_;
  void* bytes_;
};

// One fread of the whole file into fresh memory, as a program that only wants the bytes would.
size_t ReadWhole(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "compare_ours: cannot open %s\n", path.c_str());
    std::exit(1);
  }
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  FreshBuffer buffer(static_cast<size_t>(size));
  const size_t got = std::fread(buffer.Data(), 1, static_cast<size_t>(size), file);
  std::fclose(file);
  return got;
}

int RunRaw(const Options& options) {
  size_t bytes = 0;
  const double ms = MedianMs(options.reps, [&] {
    bytes = ReadWhole(options.base + ".gri") + ReadWhole(options.base + ".00000.dat");
  });
  std::printf("ms %.3f bytes %zu\n", ms, bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  options.base = BaseOf(options.base);
  if (options.job == "evenly") return RunEvenly(options);
  if (options.job == "background") return RunBackground(options);
  if (options.job == "load") return RunLoad(options);
  if (options.job == "raw") return RunRaw(options);
  Usage("unknown job " + options.job);
}
