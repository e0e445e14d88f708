#include "render_options.h"

#include <charconv>
#include <functional>
#include <map>

#include "app/control_ids.h"
#include "app/setting_ranges.h"

namespace vortana {

namespace {

std::optional<int> StrictInteger(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<Colour> HexColour(const std::string& text) {
  if (text.size() != 6) return std::nullopt;
  unsigned rgb = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, rgb, 16);
  if (error != std::errc() || stop != end) return std::nullopt;
  return MakeColour(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

// Reads "X,Y" as a drawing-area pixel.
std::optional<PixelPoint> ProbePoint(const std::string& text) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const std::optional<int> x = StrictInteger(text.substr(0, comma));
  const std::optional<int> y = StrictInteger(text.substr(comma + 1));
  if (!x || !y || *x < 0 || *x >= kDrawingWidth || *y < 0 || *y >= kDrawingHeight) {
    return std::nullopt;
  }
  return PixelPoint{*x, *y};
}

std::string RangeText(SettingRange range) {
  return "an integer between " + std::to_string(range.lowest) + " and " +
         std::to_string(range.highest);
}

// One option that takes a value: how to store it, and what it expects when the value is wrong.
struct ValueOption {
  std::string expected;
  std::function<bool(const std::string&, RenderOptions&)> apply;
};

ValueOption IntegerOption(SettingRange range, int RenderOptions::*field) {
  return {RangeText(range), [=](const std::string& text, RenderOptions& options) {
            const std::optional<int> value = StrictInteger(text);
            if (!value || !range.Contains(*value)) return false;
            options.*field = *value;
            return true;
          }};
}

ValueOption ChoiceOption(std::map<std::string, int> choices,
                         std::function<void(RenderOptions&, int)> store) {
  std::string expected;
  for (const auto& [name, index] : choices) expected += (expected.empty() ? "" : "|") + name;
  return {"one of " + expected, [=](const std::string& text, RenderOptions& options) {
            const auto found = choices.find(text);
            if (found == choices.end()) return false;
            store(options, found->second);
            return true;
          }};
}

const std::map<std::string, ValueOption>& ValueOptions() {
  static const std::map<std::string, ValueOption> options = {
      {"--output",
       {"a file name",
        [](const std::string& text, RenderOptions& o) {
          o.output = text;
          return !text.empty();
        }}},
      {"--dump",
       {"a file name or -",
        [](const std::string& text, RenderOptions& o) {
          o.dump = text;
          return !text.empty();
        }}},
      {"--plot", ChoiceOption({{"arrows", kPlotArrows}, {"streamlines", kPlotStreamlines}},
                              [](RenderOptions& o, int v) { o.plotType = v; })},
      {"--grid-size", IntegerOption(kGridSizeRange, &RenderOptions::gridSize)},
      {"--integrator",
       ChoiceOption({{"euler", 0}, {"rk2", 1}}, [](RenderOptions& o, int v) { o.integrator = v; })},
      {"--background", ChoiceOption({{"flow", 0}, {"pressure", 1}, {"vorticity", 2}},
                                    [](RenderOptions& o, int v) { o.background = v; })},
      {"--delta-t", IntegerOption(kDeltaTRange, &RenderOptions::deltaT)},
      {"--d-sep", IntegerOption(kDSepRange, &RenderOptions::dSep)},
      {"--d-test",
       {"an integer of at least " + std::to_string(kDTestLowest),
        [](const std::string& text, RenderOptions& o) {
          const std::optional<int> value = StrictInteger(text);
          if (!value || *value < kDTestLowest) return false;
          o.dTest = *value;
          return true;
        }}},
      {"--colour",
       {"six hexadecimal digits RRGGBB",
        [](const std::string& text, RenderOptions& o) {
          const std::optional<Colour> colour = HexColour(text);
          if (!colour) return false;
          o.lineColour = *colour;
          return true;
        }}},
      {"--probe",
       {"X,Y with X and Y integers between 0 and " + std::to_string(kDrawingWidth - 1),
        [](const std::string& text, RenderOptions& o) {
          const std::optional<PixelPoint> point = ProbePoint(text);
          if (!point) return false;
          o.probes.push_back(*point);
          return true;
        }}},
  };
  return options;
}

const std::map<std::string, bool RenderOptions::*>& FlagOptions() {
  static const std::map<std::string, bool RenderOptions::*> flags = {
      {"--normalized", &RenderOptions::normalized},
      {"--evenly-spaced", &RenderOptions::evenlySpaced},
      {"--repaint", &RenderOptions::repaint},
      {"--legend", &RenderOptions::legend},
      {"--help", &RenderOptions::help},
  };
  return flags;
}

std::string LongName(const std::string& name) {
  if (name == "-o") return "--output";
  if (name == "-h") return "--help";
  return name;
}

}  // namespace

ParsedRenderOptions ParseRenderOptions(const std::vector<std::string>& args) {
  ParsedRenderOptions parsed;
  RenderOptions& options = parsed.options;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      if (!options.dataset.empty()) {
        parsed.error = "more than one DATASET: '" + options.dataset + "' and '" + arg + "'";
        return parsed;
      }
      options.dataset = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // --name=value and --name value are the same.
    const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = LongName(arg.substr(0, equals));
    if (const auto flag = FlagOptions().find(name); flag != FlagOptions().end()) {
      if (equals != std::string::npos) {
        parsed.error = name + " takes no value";
        return parsed;
      }
      options.*(flag->second) = true;
      continue;
    }
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) {
      parsed.error = "unknown option '" + arg + "'";
      return parsed;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      parsed.error = name + " needs a value: " + option->second.expected;
      return parsed;
    }
    if (!option->second.apply(value, options)) {
      parsed.error = name + ": expected " + option->second.expected + ", got '" + value + "'";
      return parsed;
    }
  }
  if (!options.help && options.dataset.empty()) parsed.error = "no DATASET given";
  return parsed;
}

std::string RenderUsage() {
  return R"(Usage: vortana-render [options] DATASET
Draws a data set as the Vortana dialog would, without a window.

DATASET is the .gri or the .00000.dat file of a data set.

  -o, --output FILE                     the drawing area (512 x 512) as an RGB PNG
      --plot arrows|streamlines         plot type (default streamlines)
      --grid-size N                     8..128 (default 32)
      --normalized                      Normalized Vectors on
      --integrator euler|rk2            (default euler)
      --background flow|pressure|vorticity
                                        Background on, coloured by that quantity
      --delta-t N                       1..20 (default 10)
      --evenly-spaced                   Evenly Spaced on
      --d-sep N                         10..50 (default 20)
      --d-test N                        at least 1 (default 10)
      --colour RRGGBB                   line colour, hex red-green-blue (default 0000FF)
      --probe X,Y                       a left click at drawing-area pixel X,Y after
                                        Visualize; repeatable, in order
      --repaint                         repaint after everything else
      --legend                          add the gap and the legend strip (512 x 532)
      --dump FILE                       a JSON description of the stored pictures
                                        ("-" for standard output)
  -h, --help                            this text

Exit status: 0 success, 1 the data set cannot be used, 2 a usage error.
)";
}

}  // namespace vortana
