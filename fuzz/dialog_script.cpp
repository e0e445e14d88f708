#include "dialog_script.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "data/flow_file_writer.h"
#include "support/fake_platform.h"

namespace vortana::fuzz {

namespace {

using testing::FakePlatform;

// Each script may do only this much heavy work, so that one run stays well under a second.
constexpr int kMaxVisualize = 3;
constexpr int kMaxClicks = 24;
constexpr int kMaxLoads = 3;
// Small grids only: a dialog run is about the settings and the commands, not big files.
constexpr int kMaxNodesAcross = 16;
constexpr int kMaxGridNodesAcross = 8;
constexpr int kMaxGridDepth = 2;
constexpr int kMaxScalarCount = 40;
// World sizes that keep a Visualize fast. Tracing costs about (max position / 512) / dt steps per
// pixel, and a Runge-Kutta trace of a vortex spirals in through most of its disc, so a vortex
// 512 units across at Delta t 1 takes tens of seconds under the sanitizers: known, bounded, and
// no finding. Coordinates from kTameExtent to kHugeExtent are pulled in to kTameExtent; beyond
// it the scale is so large that every trace ends after its first pixel's step limit.
constexpr float kTameExtent = 16.0f;
constexpr float kHugeExtent = 1e7f;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "dialog_fuzz: %s\n", what);
  std::abort();
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

/// An integer word, saturated to int; 0 when it is none.
int IntWord(const std::vector<std::string>& words, size_t i, int fallback = 0) {
  if (i >= words.size()) return fallback;
  errno = 0;
  const long long value = std::strtoll(words[i].c_str(), nullptr, 0);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

/// A float word: decimal, hexadecimal, "nan", "inf"; what does not fit a float saturates to inf.
float FloatWord(const std::vector<std::string>& words, size_t i, float fallback) {
  if (i >= words.size()) return fallback;
  return std::strtof(words[i].c_str(), nullptr);
}

/// A world coordinate or extent as the script may use it (see kTameExtent).
float Tame(float value) {
  const float magnitude = std::fabs(value);
  if (magnitude > kTameExtent && magnitude < kHugeExtent) return std::copysign(kTameExtent, value);
  return value;
}

int ControlId(const std::string& word) {
  static const std::map<std::string, int> kNames = {
      {"filename", kIdFileName},     {"browse", kIdBrowse},
      {"visualize", kIdVisualize},   {"size", kIdSizeText},
      {"gridsize", kIdGridSize},     {"gridspin", kIdGridSizeSpin},
      {"deltat", kIdDeltaT},         {"deltaspin", kIdDeltaTSpin},
      {"dsep", kIdDSep},             {"dsepspin", kIdDSepSpin},
      {"dtest", kIdDTest},           {"dtestspin", kIdDTestSpin},
      {"arrows", kIdArrowPlot},      {"streamlines", kIdStreamlines},
      {"background", kIdBackground}, {"normalized", kIdNormalized},
      {"euler", kIdEuler},           {"rk", kIdRungeKutta},
      {"evenly", kIdEvenlySpaced},   {"flow", kIdFlow},
      {"pressure", kIdPressure},     {"vorticity", kIdVorticity},
  };
  const auto found = kNames.find(word);
  if (found != kNames.end()) return found->second;
  return static_cast<int>(std::strtol(word.c_str(), nullptr, 10));
}

/// Only plain names inside the work folder: a script never reaches other files.
std::string FileInFolder(const std::string& folder, const std::string& word) {
  std::string name;
  for (const char c : word) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    name += plain ? c : '_';
  }
  if (name.empty() || name == "." || name == "..") name = "unnamed";
  return folder + "/" + name;
}

class ScriptRun {
 public:
  explicit ScriptRun(const std::string& workFolder) : folder_(workFolder) {
    dialog_.OnInitDialog();
    dialog_.Repaint();
  }

  void Run(std::string_view line) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) return;
    const std::string& command = w[0];
    if (command == "sample") {
      Sample(w);
    } else if (command == "grid") {
      Grid(w);
    } else if (command == "node" || command == "vel" || command == "scal") {
      EditNode(w);
    } else if (command == "use") {
      if (TakeLoad()) dialog_.UseField(FromNodes(), "script");
    } else if (command == "save") {
      Save(w);
    } else if (command == "load") {
      if (TakeLoad() && w.size() > 1) dialog_.Load(FileInFolder(folder_, w[1]));
    } else if (command == "open") {
      platform_.openFileAnswers.push_back(
          w.size() > 1 ? std::optional<std::string>(FileInFolder(folder_, w[1])) : std::nullopt);
    } else if (command == "browse") {
      if (TakeLoad()) dialog_.OnBrowse();
    } else if (command == "colour") {
      platform_.colourAnswers.push_back(
          w.size() > 1 ? std::optional<Colour>(static_cast<Colour>(
                             std::strtoul(w[1].c_str(), nullptr, 16) & 0x00FFFFFF))
                       : std::nullopt);
    } else if (command == "type") {
      Type(line, w);
    } else if (command == "check") {
      if (w.size() > 1) platform_.SetChecked(ControlId(w[1]), IntWord(w, 2, 1) != 0);
    } else if (command == "click") {
      if (w.size() > 1) Click(ControlId(w[1]));
    } else if (command == "spin") {
      if (w.size() > 1) dialog_.OnSpin(ControlId(w[1]), IntWord(w, 2, 1));
    } else if (command == "left" || command == "probe") {
      if (TakeClick()) {
        const PixelPoint o = command == "probe" ? platform_.layout.drawingArea : PixelPoint{0, 0};
        dialog_.OnLeftButtonDown(Offset(o.x, IntWord(w, 1)), Offset(o.y, IntWord(w, 2)));
      }
    } else if (command == "right") {
      if (TakeClick()) dialog_.OnRightButtonDown(IntWord(w, 1), IntWord(w, 2));
    } else if (command == "move") {
      dialog_.OnMouseMove(IntWord(w, 1), IntWord(w, 2));
    } else if (command == "timer") {
      dialog_.OnTimer(IntWord(w, 1));
    } else if (command == "repaint") {
      if (TakeClick()) dialog_.Repaint();
    } else if (command == "minimise") {
      platform_.minimised = IntWord(w, 1, 1) != 0;
    } else if (command == "visualize") {
      if (visualizeLeft_ > 0) {
        --visualizeLeft_;
        dialog_.OnVisualize();
      }
    }
    CheckDialog();
  }

 private:
  static int Offset(int origin, int value) {
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(origin) + value, INT_MIN,
                                                  INT_MAX));
  }

  bool TakeLoad() { return loadsLeft_-- > 0; }
  bool TakeClick() { return clicksLeft_-- > 0; }

  void Sample(const std::vector<std::string>& w) {
    if (w.size() < 2 || !TakeLoad()) return;
    const std::optional<SampleFlow> flow = SampleFlowByName(w[1]);
    if (!flow) return;
    SampleOptions options;
    options.width = std::clamp(IntWord(w, 2, 8), kMinSampleNodes, kMaxNodesAcross);
    options.height = std::clamp(IntWord(w, 3, 8), kMinSampleNodes, kMaxNodesAcross);
    options.extentX = Tame(FloatWord(w, 4, kTameExtent));
    options.extentY = Tame(FloatWord(w, 5, options.extentX));
    try {
      dialog_.UseField(MakeSampleField(*flow, options), w[1]);
    } catch (const std::invalid_argument&) {
      // An extent that is not positive and finite makes no sample; the dialog stays as it was.
    }
  }

  /// A lattice over [0, extent]^2 (16 unless given) that the node, vel and scal commands edit.
  void Grid(const std::vector<std::string>& w) {
    width_ = std::clamp(IntWord(w, 1, 2), 0, kMaxGridNodesAcross);
    height_ = std::clamp(IntWord(w, 2, 2), 0, kMaxGridNodesAcross);
    depth_ = std::clamp(IntWord(w, 3, 1), 0, kMaxGridDepth);
    scalarCount_ = std::clamp(IntWord(w, 4, 2), -2, kMaxScalarCount);
    const float extent = Tame(FloatWord(w, 5, kTameExtent));
    nodes_.assign(static_cast<size_t>(width_ * height_ * depth_), GridPoint{});
    size_t k = 0;
    for (int s = 0; s < depth_; ++s) {
      for (int r = 0; r < height_; ++r) {
        for (int c = 0; c < width_; ++c, ++k) {
          GridPoint& node = nodes_[k];
          node.position = {Lattice(c, width_, extent), Lattice(r, height_, extent),
                           static_cast<float>(s)};
          node.velocity = {1.0f, 0.5f, 0.0f};
          node.scalar0 = static_cast<float>(c);
          node.scalar1 = static_cast<float>(r);
        }
      }
    }
  }

  static float Lattice(int i, int count, float extent) {
    return count < 2 ? 0.0f
                     : static_cast<float>(static_cast<double>(extent) * i / (count - 1));
  }

  void EditNode(const std::vector<std::string>& w) {
    if (nodes_.empty() || w.size() < 3) return;
    GridPoint& node = nodes_[static_cast<size_t>(static_cast<unsigned>(IntWord(w, 1))) %
                             nodes_.size()];
    if (w[0] == "node") {
      node.position = {Tame(FloatWord(w, 2, 0.0f)), Tame(FloatWord(w, 3, 0.0f)),
                       Tame(FloatWord(w, 4, 0.0f))};
    } else if (w[0] == "vel") {
      node.velocity = {FloatWord(w, 2, 0.0f), FloatWord(w, 3, 0.0f), FloatWord(w, 4, 0.0f)};
    } else {
      node.scalar0 = FloatWord(w, 2, 0.0f);
      node.scalar1 = FloatWord(w, 3, 0.0f);
    }
  }

  std::unique_ptr<FlowField> FromNodes() const {
    return FlowField::FromNodes(width_, height_, depth_, scalarCount_, nodes_);
  }

  /// Writes the edited grid as a file pair and loads it the way the "..." button does.
  void Save(const std::vector<std::string>& w) {
    if (!TakeLoad()) return;
    const std::string base = FileInFolder(folder_, w.size() > 1 ? w[1] : "set");
    if (!WriteFlowFiles(base, width_, height_, depth_, std::max(scalarCount_, 0), nodes_).empty()) {
      return;
    }
    dialog_.Load(base + ".gri");
  }

  /// Everything after the control's word, spaces included, is what the user typed.
  void Type(std::string_view line, const std::vector<std::string>& w) {
    if (w.size() < 2) return;
    const size_t at = line.find(w[1], line.find("type") + 4);
    std::string_view text = line.substr(at + w[1].size());
    if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    platform_.Type(ControlId(w[1]), std::string(text));
  }

  /// A click on a control: it toggles or checks itself as the platform does, then its handler.
  void Click(int id) {
    switch (id) {
      case kIdVisualize:
        if (visualizeLeft_-- > 0) dialog_.OnVisualize();
        break;
      case kIdBrowse:
        if (TakeLoad()) dialog_.OnBrowse();
        break;
      case kIdArrowPlot:
        platform_.CheckRadio({kIdArrowPlot, kIdStreamlines}, id);
        dialog_.OnArrowPlotClicked();
        break;
      case kIdStreamlines:
        platform_.CheckRadio({kIdArrowPlot, kIdStreamlines}, id);
        dialog_.OnStreamlinesClicked();
        break;
      case kIdEuler:
      case kIdRungeKutta:
        platform_.CheckRadio({kIdEuler, kIdRungeKutta}, id);
        break;
      case kIdBackground:
        platform_.SetChecked(id, !platform_.IsChecked(id));
        dialog_.OnBackgroundClicked();
        break;
      case kIdEvenlySpaced:
        platform_.SetChecked(id, !platform_.IsChecked(id));
        dialog_.OnEvenlySpacedClicked();
        break;
      case kIdNormalized:
        platform_.SetChecked(id, !platform_.IsChecked(id));
        break;
      case kIdFlow:
      case kIdPressure:
      case kIdVorticity:
        platform_.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, id);
        dialog_.OnColourByClicked();
        break;
      default:
        break;
    }
  }

  /// What must hold after any command, whatever the data and the settings.
  void CheckDialog() const {
    const std::vector<Streamline>& lines = dialog_.StoredStreamlines();
    const std::vector<ArrowRecord>& arrows = dialog_.StoredArrows();
    Require(lines.empty() || arrows.empty(), "arrows and streamlines stored together");
    for (size_t i = 0; i < lines.size(); ++i) {
      const Streamline& line = lines[i];
      // Only the first streamline of evenly spaced placement may be short.
      Require(!line.empty() && (i == 0 || line.size() > 5), "a stored streamline is too short");
      std::set<std::pair<int, int>> seen;
      for (const PixelPoint& p : line) {
        Require(p.x >= 0 && p.x < kDrawingWidth && p.y >= 0 && p.y < kDrawingHeight,
                "a stored streamline leaves the drawing area");
        Require(seen.insert({p.x, p.y}).second, "a stored streamline holds a pixel twice");
      }
    }
    for (const ArrowRecord& a : arrows) {
      Require(a.x >= 0 && a.x < kDrawingWidth && a.y >= 0 && a.y < kDrawingHeight,
              "a stored arrow lies outside the drawing area");
    }
    const size_t buffer = dialog_.BackgroundBuffer().size();
    Require(buffer == 0 || buffer == static_cast<size_t>(kDrawingWidth) * kDrawingHeight,
            "the background buffer is not the drawing area's size");
    const float dt = dialog_.Dt();
    Require(std::isfinite(dt) && dt > 0.0f && dt <= 0.2f + 1e-6f, "dt outside 0.01 to 0.2");
    if (!lines.empty() || !arrows.empty()) {
      Require(dialog_.Field() != nullptr && dialog_.Field()->HasCell(),
              "pictures stored without a field to sample");
    }
  }

  std::string folder_;
  FakePlatform platform_;
  VisualizerDialog dialog_{platform_};
  int visualizeLeft_ = kMaxVisualize;
  int clicksLeft_ = kMaxClicks;
  int loadsLeft_ = kMaxLoads;

  int width_ = 0;
  int height_ = 0;
  int depth_ = 0;
  int scalarCount_ = 2;
  std::vector<GridPoint> nodes_;
};

}  // namespace

void RunDialogScript(std::string_view script, const std::string& workFolder) {
  ScriptRun run(workFolder);
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    run.Run(script.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace vortana::fuzz
