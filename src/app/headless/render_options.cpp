#include "render_options.h"

#include <charconv>
#include <cmath>
#include <map>

#include "app/command_line.h"
#include "app/control_ids.h"
#include "app/picture_writer.h"

namespace vortana {

namespace {

constexpr const char* kUsage = R"(Usage: vortana-render [options] DATASET
Draws a data set as the Vortana dialog would, without a window.

DATASET is the .gri or the .00000.dat file of a data set.
)";
constexpr const char* kFooter =
    "Exit status: 0 success, 1 the data set cannot be used, 2 a usage error.";

std::optional<Colour> HexColour(const std::string& text) {
  if (text.size() != 6) return std::nullopt;
  unsigned rgb = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, rgb, 16);
  if (error != std::errc() || stop != end) return std::nullopt;
  return MakeColour(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
}

// Reads "X,Y" as a pixel of a drawing area `size` pixels square (or less).
std::optional<PixelPoint> ProbePoint(const std::string& text, int size) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const std::optional<int> x = StrictInteger(std::string_view(text).substr(0, comma));
  const std::optional<int> y = StrictInteger(std::string_view(text).substr(comma + 1));
  if (!x || !y || *x < 0 || *x >= size || *y < 0 || *y >= size) return std::nullopt;
  return PixelPoint{*x, *y};
}

std::optional<double> LineWidth(const std::string& text) {
  double width = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, width);
  if (error != std::errc() || stop != end || !(width >= kMinLineWidth && width <= kMaxLineWidth)) {
    return std::nullopt;
  }
  return width;
}

// Reads "MIN,MAX": finite numbers, MIN below MAX once stored as floats.
std::optional<std::pair<float, float>> ValueRange(const std::string& text) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  float bounds[2] = {};
  const std::string_view parts[2] = {std::string_view(text).substr(0, comma),
                                     std::string_view(text).substr(comma + 1)};
  for (int i = 0; i < 2; ++i) {
    double value = 0.0;
    const char* end = parts[i].data() + parts[i].size();
    const auto [stop, error] = std::from_chars(parts[i].data(), end, value);
    if (error != std::errc() || stop != end || parts[i].empty()) return std::nullopt;
    bounds[i] = static_cast<float>(value);
    if (!std::isfinite(bounds[i])) return std::nullopt;
  }
  if (!(bounds[0] < bounds[1])) return std::nullopt;
  return std::pair{bounds[0], bounds[1]};
}

// Reads "X0,Y0,X1,Y1": finite numbers, each low corner below the high one once stored as floats.
std::optional<WorldWindow> WindowOfText(std::string_view text) {
  float corners[4] = {};
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return std::nullopt;
    const std::string_view part = text.substr(0, comma);
    double value = 0.0;
    const auto [stop, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (error != std::errc() || stop != part.data() + part.size() || part.empty()) {
      return std::nullopt;
    }
    corners[i] = static_cast<float>(value);
    if (!std::isfinite(corners[i])) return std::nullopt;
    text.remove_prefix(i < 3 ? comma + 1 : comma);
  }
  if (!(corners[0] < corners[2] && corners[1] < corners[3])) return std::nullopt;
  return WorldWindow{corners[0], corners[1], corners[2], corners[3]};
}

std::string ProbeExpects(int size) {
  return "X,Y with X and Y integers between 0 and " + std::to_string(size - 1);
}

// The value of the last --size of the arguments, when it is one the option accepts.
std::optional<int> LastSize(const std::vector<std::string>& args) {
  const SettingRange range = FindSettingOption("size")->range;
  std::optional<int> size;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") break;
    std::optional<int> value;
    if (args[i] == "--size" && i + 1 < args.size()) {
      value = StrictInteger(args[i + 1]);
    } else if (args[i].starts_with("--size=")) {
      value = StrictInteger(std::string_view(args[i]).substr(7));
    }
    if (value && range.Contains(*value)) size = value;
  }
  return size;
}

std::string RangeHelp(SettingRange range) {
  if (!range.HasUpperLimit()) return "at least " + std::to_string(range.lowest);
  return std::to_string(range.lowest) + ".." + std::to_string(range.highest);
}

// The help of a setting's option: what it is, its range and its default.
std::string SettingHelp(const SettingDescription& s) {
  switch (s.kind) {
    case SettingKind::Integer:
      return std::string(s.caption) + ": " + RangeHelp(s.range) + " (default " +
             OptionValueText(s, s.startup) + ")\n" + s.help;
    case SettingKind::Choice:
      // An option that also turns on a check box has no default: without it the box is off.
      if (s.switchesOn) return s.help;
      return std::string(s.help) + " (default " + OptionValueText(s, s.startup) + ")";
    case SettingKind::Check:
    case SettingKind::Text:
      break;
  }
  return s.help;
}

/// The command line of vortana-render: the options of the setting table among those of the run,
/// stored into `options` as they are parsed.
class RenderCommandLine {
 public:
  explicit RenderCommandLine(RenderOptions& options)
      : app_(MakeCommandLine(kUsage, kFooter)), options_(options) {
    app_->set_help_flag("-h,--help", "this text");
    AddValue("-o,--output", "FILE", "a file name",
             "the picture of the drawing area (512 x 512 unless\n--size or --aspect say otherwise), by the name's\nextension: .png (RGB PNG), .svg or .pdf",
             [this](const std::string& text) {
               options_.output = text;
               return !text.empty();
             });
    for (const SettingDescription& setting : kSettingTable) {
      if (setting.option) AddSetting(setting);
    }
    AddValue("--window", "X0,Y0,X1,Y1", "four finite numbers X0,Y0,X1,Y1 with X0 below X1 and Y0 below Y1",
             "the world rectangle drawn instead of the view's\nwindow (with --size and --aspect as before)",
             [this](const std::string& text) {
               options_.window = WindowOfText(text);
               return options_.window.has_value();
             });
    AddValue("--colour", "RRGGBB", "six hexadecimal digits RRGGBB",
             "line colour, hex red-green-blue (default 0000FF)", [this](const std::string& text) {
               const std::optional<Colour> colour = HexColour(text);
               if (colour) options_.lineColour = *colour;
               return colour.has_value();
             });
    AddValue("--probe", "X,Y", ProbeExpects(kDrawingWidth),
             "a left click at drawing-area pixel X,Y after\nVisualize; repeatable, in order",
             [this](const std::string& text) {
               const std::optional<PixelPoint> point = ProbePoint(text, probeBound_);
               if (!point) {
                 throw CLI::ValidationError(
                     "--probe", "expected " + ProbeExpects(probeBound_) + ", got '" + text + "'");
               }
               options_.probes.push_back(*point);
               return true;
             });
    app_->add_flag("--repaint", options_.repaint, "repaint after everything else");
    app_->add_flag("--legend", options_.legend,
                   "add the gap and the legend strip (512 x 532 at the\ndefault size)");
    AddValue("--line-width", "W", "a number between 0.5 and 16",
             "line width in pixels (default 1); a PNG draws\nwhole numbers above 1 only",
             [this](const std::string& text) {
               const std::optional<double> width = LineWidth(text);
               if (width) options_.lineWidth = *width;
               return width.has_value();
             });
    app_->add_flag("--colour-bar", options_.colourBar,
                   "a labelled colour bar right of the picture\n(needs --background)");
    app_->add_flag("--axes", options_.axes, "world-coordinate axes round the drawing area");
    app_->add_flag("--arrowheads", options_.arrowheads,
                   "arrowheads along the streamlines, downstream");
    AddValue("--dump", "FILE", "a file name or -",
             "a JSON description of the stored pictures\n(\"-\" for standard output)",
             [this](const std::string& text) {
               options_.dump = text;
               return !text.empty();
             });
    AddFrameOptions();
    app_->add_option("DATASET", datasets_);
  }

  std::string Parse(const std::vector<std::string>& args) {
    // A probe is checked as it comes, against the area's size wherever --size stands.
    probeBound_ = LastSize(args).value_or(kDrawingWidth);
    expected_["--probe"] = ProbeExpects(probeBound_);
    try {
      ParseArguments(*app_, args);
    } catch (const CLI::CallForHelp&) {
      options_.help = true;
      return {};
    } catch (const CLI::ParseError& error) {
      return UsageErrorText(*app_, error, [this](const std::string& option) {
        const auto found = expected_.find(option);
        return found == expected_.end() ? std::string() : found->second;
      });
    }
    if (std::string unknown = UnknownOptionText(*app_); !unknown.empty()) return unknown;
    if (datasets_.size() > 1) {
      return "more than one DATASET: '" + datasets_[0] + "' and '" + datasets_[1] + "'";
    }
    if (datasets_.empty()) return "no DATASET given";
    if (options_.colourBar && !options_.settings.background) {
      return "--colour-bar explains the background, which is off: add --background "
             "flow|pressure|vorticity";
    }
    options_.dataset = datasets_.front();
    options_.sliceGiven = app_->count("--slice") > 0;
    options_.areaChosen = app_->count("--size") > 0 || app_->count("--aspect") > 0;
    options_.viewChosen = app_->count("--view") > 0 || app_->count("--y-axis") > 0;
    return FrameOptionsError();
  }

  std::string Help() const { return app_->help(); }

 private:
  // An option with a value, applied as it comes (so that the first wrong one is reported); a
  // value that `apply` refuses is a usage error naming what the option expects.
  void AddValue(const std::string& names, const std::string& valueName, const std::string& expects,
                const std::string& help, std::function<bool(const std::string&)> apply) {
    // Messages name an option by its long name, the last of `names`, also when the short one
    // was typed.
    const std::string name = names.substr(names.rfind(',') + 1);
    app_->add_option_function<std::string>(
            names,
            [name, expects, apply](const std::string& text) {
              if (apply(text)) return;
              throw CLI::ValidationError(name, "expected " + expects + ", got '" + text + "'");
            },
            help)
        ->type_name(valueName)
        ->trigger_on_parse();
    expected_[name] = expects;
  }

  void AddFrameOptions() {
    AddValue("--step", "K", "a whole number of at least 0",
             "draw time step K (0 is the first; default 0)", [this](const std::string& text) {
               const std::optional<int> step = StrictInteger(text);
               if (step && *step >= 0) options_.step = step;
               return step && *step >= 0;
             });
    app_->add_option_function<std::string>(
            "--frames",
            [this](const std::string& text) {
              ParsedFrameRange parsed = ParseFrameRange(text);
              if (!parsed.range) throw CLI::ValidationError("--frames", parsed.error);
              options_.frames = parsed.range;
            },
            "draw steps A, A+S, ... up to B (S default 1), one\npicture each; -o and --dump then "
            "hold {step}, the\nstep padded to five digits (frame-{step}.png)")
        ->type_name("A:B[:S]")
        ->trigger_on_parse();
    expected_["--frames"] = "A:B or A:B:S";
    AddValue("--animation", "FILE.webp", "a file name",
             "also write the frames as one lossless animated WebP",
             [this](const std::string& text) {
               options_.animation = text;
               return !text.empty();
             });
    AddValue("--fps", "N", "an integer between 1 and 60",
             "frames per second of the animation (default 10)", [this](const std::string& text) {
               const std::optional<int> fps = StrictInteger(text);
               if (fps && *fps >= 1 && *fps <= 60) options_.fps = *fps;
               return fps && *fps >= 1 && *fps <= 60;
             });
    AddValue("--jobs", "N", "an integer of at least 1",
             "frames drawn at once (default: one per core)", [this](const std::string& text) {
               const std::optional<int> jobs = StrictInteger(text);
               if (jobs && *jobs >= 1) options_.jobs = *jobs;
               return jobs && *jobs >= 1;
             });
    AddValue("--colour-range", "MIN,MAX", "two finite numbers MIN,MAX with MIN below MAX",
             "the background's range (speed, or the scalar coloured\nby) instead of the step's "
             "own, so that frames share\none colour scale",
             [this](const std::string& text) {
               options_.colourRange = ValueRange(text);
               return options_.colourRange.has_value();
             });
  }

  // The options that only make sense together, checked once all are read.
  std::string FrameOptionsError() const {
    const bool placeholder = options_.output.find(kStepPlaceholder) != std::string::npos;
    const bool dumpPlaceholder = options_.dump.find(kStepPlaceholder) != std::string::npos;
    if (!options_.frames) {
      if (!options_.animation.empty()) return "--animation needs --frames A:B[:S]";
      if (placeholder) return "--output holds {step}, which only --frames fills in";
      if (dumpPlaceholder) return "--dump holds {step}, which only --frames fills in";
      return {};
    }
    if (options_.step) return "--step and --frames cannot be combined: --frames K:K draws step K";
    if (!options_.output.empty() && !placeholder) {
      return "--output must hold {step} with --frames (such as frame-{step}.png), got '" +
             options_.output + "'";
    }
    if (!options_.dump.empty() && options_.dump != "-" && !dumpPlaceholder) {
      return "--dump must hold {step} or be - with --frames, got '" + options_.dump + "'";
    }
    if (options_.output.empty() && options_.animation.empty() && options_.dump.empty()) {
      return "--frames needs --output with {step}, --animation or --dump";
    }
    return {};
  }

  void AddSetting(const SettingDescription& s) {
    const std::string name = std::string("--") + s.option;
    Settings& settings = options_.settings;
    switch (s.kind) {
      case SettingKind::Integer:
        AddValue(name, "N", AcceptedText(s.range), SettingHelp(s),
                 [&settings, &s](const std::string& text) {
                   const std::optional<int> number = StrictInteger(text);
                   if (!number || !s.range.Contains(*number)) return false;
                   settings.*s.value = *number;
                   return true;
                 });
        break;
      case SettingKind::Check:
        app_->add_flag_callback(
            name, [&settings, &s] { settings.*s.value = 1; }, SettingHelp(s));
        break;
      case SettingKind::Choice:
        AddValue(name, ChoiceNames(s), "one of " + ChoiceNames(s), SettingHelp(s),
                 [&settings, &s](const std::string& text) {
                   for (size_t i = 0; i < s.choices.size(); ++i) {
                     if (text != s.choices[i].name) continue;
                     settings.*s.value = static_cast<int>(i);
                     if (s.switchesOn) settings.*s.switchesOn = 1;
                     return true;
                   }
                   return false;
                 });
        break;
      case SettingKind::Text:
        AddValue(name, "TEXT", "a text", SettingHelp(s), [&settings, &s](const std::string& text) {
          settings.*s.text = text;
          return true;
        });
        break;
    }
  }

  std::unique_ptr<CLI::App> app_;
  RenderOptions& options_;
  std::vector<std::string> datasets_;
  int probeBound_ = kDrawingWidth;  // the drawing area's side, the probes' limit
  std::map<std::string, std::string> expected_;  // what each value option expects, by name
};

}  // namespace

ParsedRenderOptions ParseRenderOptions(const std::vector<std::string>& args) {
  ParsedRenderOptions parsed;
  RenderCommandLine commandLine(parsed.options);
  parsed.error = commandLine.Parse(args);
  return parsed;
}

std::string RenderUsage() {
  RenderOptions options;
  return RenderCommandLine(options).Help();
}

}  // namespace vortana
